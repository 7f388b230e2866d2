// A target that crashes on the input "CRASH!", its only seed: proves that scripts/fuzz-run
// turns a crash into a failed test showing the input.
#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size >= 6 && std::memcmp(data, "CRASH!", 6) == 0) __builtin_trap();
  return 0;
}
