#pragma once
// The program's start-up sequence: every unit linked into the executable that has a
// start-up or shutdown step registers it here, in one place, so nothing runs from a
// static initialiser and the order is visible.

#include "base/Startup.h"
#include "tools/StartupChecks.h"

namespace fbu {

// converterVersion is the version the converter version unit checks: the configured one
// in the shipped program, another one only in a test build made to fail its start-up.
void RegisterProgramUnits(StartupSequence& sequence, float converterVersion = ConverterVersion);

} // namespace fbu
