# Build conventions shared by every directory.
#   *.cpp          portable, built for every target
#   *_win.cpp      built only for Windows
#   *_posix.cpp    built only for the native (Linux) target

set(FBU_WINDOWS OFF)
if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  set(FBU_WINDOWS ON)
endif()

add_library(fbu_options INTERFACE)
target_compile_options(fbu_options INTERFACE -Wall -Wextra -Wpedantic -Wno-cast-function-type)
if(FBU_WINDOWS)
  target_compile_definitions(fbu_options INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  # Windows programs carry their runtime so they run without MinGW's DLLs.
  target_link_options(fbu_options INTERFACE -static -static-libgcc -static-libstdc++)
  # Release programs (the shipped 32-bit one) go out without symbols or debug sections;
  # scripts/check-image --stripped checks it.
  target_link_options(fbu_options INTERFACE $<$<CONFIG:Release>:-s>)
endif()
if(FBU_FUZZ)
  # Every unit is instrumented for coverage so the fuzzers can steer into it.
  target_compile_options(fbu_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  target_link_options(fbu_options INTERFACE -fsanitize=address,undefined)
endif()
if(FBU_SANITIZE AND NOT FBU_WINDOWS)
  target_compile_options(fbu_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(fbu_options INTERFACE -fsanitize=address,undefined)
endif()

# Collects the sources of one directory by the naming rule above.
function(fbu_collect_sources out dir)
  file(GLOB _all CONFIGURE_DEPENDS ${dir}/*.cpp)
  set(_kept)
  foreach(f IN LISTS _all)
    if(f MATCHES "_win\\.cpp$")
      if(FBU_WINDOWS)
        list(APPEND _kept ${f})
      endif()
    elseif(f MATCHES "_posix\\.cpp$")
      if(NOT FBU_WINDOWS)
        list(APPEND _kept ${f})
      endif()
    else()
      list(APPEND _kept ${f})
    endif()
  endforeach()
  set(${out} ${_kept} PARENT_SCOPE)
endfunction()

# A static library made of one source directory and, with SUBDIRS, of those folders
# below it. A program's entry (a file named after the program, beside its .rc) is not
# library code and stays out.
function(fbu_add_unit_library name dir)
  cmake_parse_arguments(ARG "" "" "DEPS;WIN_LIBS;SUBDIRS" ${ARGN})
  fbu_collect_sources(_srcs ${dir})
  foreach(_sub IN LISTS ARG_SUBDIRS)
    fbu_collect_sources(_sub_srcs ${dir}/${_sub})
    foreach(_f IN LISTS _sub_srcs)
      string(REGEX REPLACE "\\.cpp$" ".rc" _rc ${_f})
      if(NOT EXISTS ${_rc})
        list(APPEND _srcs ${_f})
      endif()
    endforeach()
  endforeach()
  if(_srcs)
    set(_scope PUBLIC)
    add_library(${name} STATIC ${_srcs})
  else()
    set(_scope INTERFACE)
    add_library(${name} INTERFACE)
  endif()
  target_include_directories(${name} ${_scope} ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} ${_scope} fbu_options ${ARG_DEPS})
  if(FBU_WINDOWS AND ARG_WIN_LIBS)
    target_link_libraries(${name} ${_scope} ${ARG_WIN_LIBS})
  endif()
endfunction()
