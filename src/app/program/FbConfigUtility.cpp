// Program entry of FbConfigUtility.exe.
#include <windows.h>

#include "app/SetDBCachePSize.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
  return fbu::RunProgram(instance, showCommand);
}
