set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(FBU_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Windows test programs run under wine64 through CTest's emulator hook.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
