#include "app/program/ProgramUnits.h"

#include "collections/LargeSets.h"
#include "collections/PureQuarnClasses.h"
#include "dbclient/IBIntf.h"
#include "tools/StartupChecks.h"
#include "tools/ThreadRegistry.h"

namespace fbu {

void RegisterProgramUnits(StartupSequence& sequence, float converterVersion)
{
  // Registration order is the start-up order among units that need nothing of each
  // other: the thread registry, the large integer set's self-exercise (main thread
  // only), the fill unit, the converter version check, the integer list's
  // self-exercise, then the client-library variant map.
  sequence.Register(ThreadRegistryUnit());
  sequence.Register(LargeSetsUnit());
  sequence.Register(FillUnit());
  sequence.Register(ConverterVersionUnit(converterVersion));
  sequence.Register(PureQuarnClassesUnit());
  sequence.Register(IBIntfUnit());
}

} // namespace fbu
