#include "app/ProgramUnits.h"

#include "collections/LargeSets.h"
#include "dbclient/IBIntf.h"
#include "tools/ThreadRegistry.h"

namespace fbu {

void RegisterProgramUnits(StartupSequence& sequence)
{
  // Registration order is the start-up order among units that need nothing of each
  // other: the thread registry, the large integer set's self-exercise (main thread
  // only), then the client-library variant map.
  sequence.Register(ThreadRegistryUnit());
  sequence.Register(LargeSetsUnit());
  sequence.Register(IBIntfUnit());
}

} // namespace fbu
