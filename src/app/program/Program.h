#pragma once
// The whole program around the dialog.

#ifdef _WIN32
#include <windows.h>

#include "tools/StartupChecks.h"

namespace fbu {

// The units' start-up, the registration switches, the check run or the dialog and its
// message loop, then the units' shutdown. Returns the exit code. converterVersion is the
// one the start-up checks: another only in a test build.
int RunProgram(HINSTANCE instance, int showCommand, float converterVersion = ConverterVersion);

} // namespace fbu
#endif
