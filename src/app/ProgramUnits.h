#pragma once
// The program's start-up sequence: every unit linked into the executable that has a
// start-up or shutdown step registers it here, in one place, so nothing runs from a
// static initialiser and the order is visible.

#include "base/Startup.h"

namespace fbu {

void RegisterProgramUnits(StartupSequence& sequence);

} // namespace fbu
