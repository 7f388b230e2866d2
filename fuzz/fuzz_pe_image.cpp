// The client-library loader's executable-image header check over arbitrary bytes: never
// reads outside the image, and its answer (x64, x86 or refused) is the one the header
// fields give when read directly.
#include <cstddef>
#include <cstdint>
#include <span>

#include "dbclient/PEImage.h"

namespace {

enum class Kind { X64, X86, Refused };

std::uint32_t LE(const std::uint8_t* p, int bytes)
{
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

Kind Expected(const std::uint8_t* data, std::size_t size)
{
  if (size < 0x40 || data[0] != 'M' || data[1] != 'Z') return Kind::Refused;
  const std::uint64_t nt = LE(data + 0x3C, 4);
  if (nt == 0 || nt + 248 > size || LE(data + nt, 4) != 0x00004550) return Kind::Refused;
  const std::uint32_t machine = LE(data + nt + 4, 2);
  return machine == 0x8664 ? Kind::X64 : machine == 0x014C ? Kind::X86 : Kind::Refused;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  Kind got = Kind::Refused;
  try {
    got = fbu::IsX64ImageHeaders(std::span<const std::uint8_t>(data, size)) ? Kind::X64 : Kind::X86;
  } catch (const fbu::EPEImageError&) {
  }
  if (got != Expected(data, size)) __builtin_trap();
  return 0;
}
