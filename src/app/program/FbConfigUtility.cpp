// Program entry of FbConfigUtility.exe.
#include <windows.h>

#include "app/program/Program.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
#ifdef FBU_TEST_CONVERTER_VERSION
  // Only the test build that checks a refused start-up defines this.
  return fbu::RunProgram(instance, showCommand, FBU_TEST_CONVERTER_VERSION);
#else
  return fbu::RunProgram(instance, showCommand);
#endif
}
