// The check run: what an update would do, changing nothing.
#include "app/update/CheckRun.h"

#include "app/update/CacheUpdate.h"
#include "app/update/MachinePorts.h"
#include "app/update/PageCount.h"

namespace fbu {

int RunCheck(const std::vector<Text>& arguments, CallerOutput& output)
{
  const Text count = arguments.size() > 1 ? arguments[1] : Text();
  MachineConfigFiles files;
  MachineServices services;
  const RunResult run = RunCacheCheck(count, files, services, PhysicalMemoryBytes());
  for (const Text& line : run.lines) output.WriteLine(line);
  return run.exitCode;
}

} // namespace fbu
