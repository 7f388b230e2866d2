# The 32-bit build's Windows tests run in the emulated guest of scripts/lane32 (this
# machine's kernel runs no 32-bit code). Included by tests/CMakeLists.txt in place of the
# wine64 harness; the tests are registered as in the win64 build, and:
#  - the 'wine' fixture is the batch: one boot of the guest running every test whose
#    command goes through "lane32 report" (test programs get it as their emulator,
#    scripts through FBU_WINE_TEST_LAUNCHER);
#  - each such test then prints its program's output from the batch and ends with its
#    exit code, or skips (77) with the reason when this host cannot run the guest.
set(FBU_LANE32 ON)
# The guest mounts its harness folder here (scripts/lane32 batch names the same folder).
set(FBU_WINE_DIR ${CMAKE_BINARY_DIR}/wine)
set(FBU_WINE_TEST_LAUNCHER ${PROJECT_SOURCE_DIR}/scripts/lane32 report)
set(FBU_WINE_TEST_PROPERTIES SKIP_RETURN_CODE 77 FIXTURES_REQUIRED wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${FBU_WINE_TEST_LAUNCHER})

add_test(NAME lane32_batch COMMAND ${PROJECT_SOURCE_DIR}/scripts/lane32 batch ${CMAKE_BINARY_DIR})
# Image build, first boot and the batch have time limits of their own below this one.
set_tests_properties(lane32_batch PROPERTIES FIXTURES_SETUP wine SKIP_RETURN_CODE 77 TIMEOUT 4400)
