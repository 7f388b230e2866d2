#include "dbclient/PEImage.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace fbu {

namespace {

constexpr std::uint64_t kNtOffsetField = 0x3C;
constexpr std::size_t kNtHeaders32Size = 248; // signature, file header, 32-bit optional header
constexpr std::uint16_t kMachineI386 = 0x014C;
constexpr std::uint16_t kMachineAmd64 = 0x8664;

[[noreturn]] void UnknownTarget()
{
  throw EPEImageError(u"Unknown PE target");
}

template <std::size_t N> std::array<std::uint8_t, N> ReadExactly(const ImageReader& read, std::uint64_t offset)
{
  std::array<std::uint8_t, N> bytes{};
  if (read(offset, bytes) != N) UnknownTarget();
  return bytes;
}

} // namespace

bool IsX64ImageHeaders(const ImageReader& read)
{
  const auto mz = ReadExactly<2>(read, 0);
  if (mz[0] != 'M' || mz[1] != 'Z') UnknownTarget();
  const auto field = ReadExactly<4>(read, kNtOffsetField);
  const std::uint32_t ntOffset = field[0] | field[1] << 8 | field[2] << 16 | static_cast<std::uint32_t>(field[3]) << 24;
  if (ntOffset == 0) UnknownTarget();
  const auto nt = ReadExactly<kNtHeaders32Size>(read, ntOffset);
  if (nt[0] != 'P' || nt[1] != 'E' || nt[2] != 0 || nt[3] != 0) UnknownTarget();
  const std::uint16_t machine = static_cast<std::uint16_t>(nt[4] | nt[5] << 8);
  if (machine == kMachineAmd64) return true;
  if (machine == kMachineI386) return false;
  UnknownTarget();
}

bool IsX64ImageHeaders(std::span<const std::uint8_t> image)
{
  return IsX64ImageHeaders([image](std::uint64_t offset, std::span<std::uint8_t> out) -> std::size_t {
    if (offset >= image.size()) return 0;
    const std::size_t n = std::min<std::uint64_t>(out.size(), image.size() - offset);
    std::memcpy(out.data(), image.data() + offset, n);
    return n;
  });
}

void RaiseImageOpenError(std::uint32_t code, bool fileNotFound, const Text& path)
{
  if (code == 0) throw EPEImageError(u"This is not a PE format");
  if (fileNotFound) throw EFOpenError(u"Cannot open file \"" + path + u"\"");
  RaiseOSError(code);
}

} // namespace fbu
