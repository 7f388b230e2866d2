#include "tools/GeneralTools.h"

#include <cstring>

#include "base/IntSyntax.h"

namespace fbu {

bool TryTrimStrToInt(TextView text, std::int32_t& value) noexcept
{
  return TryParseInt32(TrimControl(text), value);
}

namespace {

void PutLE32(std::uint8_t* out, std::uint32_t v)
{
  for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

} // namespace

void WriteStringToStream(TextView text, TStream& stream)
{
  // Built as one block, units little-endian whatever the host order, and written in two
  // parts, the count and then the text: on a stream that fills up, the count already
  // written stays written.
  const std::size_t units = text.size();
  std::vector<std::uint8_t> record(4 + 2 * units);
  PutLE32(record.data(), static_cast<std::uint32_t>(2 * units));
  for (std::size_t i = 0; i < units; ++i) {
    record[4 + 2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
    record[5 + 2 * i] = static_cast<std::uint8_t>(text[i] >> 8);
  }
  stream.WriteBuffer(record.data(), 4);
  if (units) stream.WriteBuffer(record.data() + 4, static_cast<std::int64_t>(2 * units));
}

bool ReadStringFromStream(Text& text, TStream* stream)
{
  text.clear();
  if (!stream) return false;
  std::int64_t remaining = stream->Size() - stream->Position();
  if (remaining < 4) return false;
  std::uint8_t countBytes[4] = {};
  stream->Read(countBytes, 4);
  const auto count = static_cast<std::int32_t>(
      static_cast<std::uint32_t>(countBytes[0]) | static_cast<std::uint32_t>(countBytes[1]) << 8 |
      static_cast<std::uint32_t>(countBytes[2]) << 16 | static_cast<std::uint32_t>(countBytes[3]) << 24);
  remaining = stream->Size() - stream->Position();
  // A record the writer never makes (negative or odd count) is refused, never read
  // past the text: the writer always stores whole code units.
  if (count < 0 || count % 2 != 0 || count > remaining) return false;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
  if (count && stream->Read(bytes.data(), count) != count) return false;
  text.resize(static_cast<std::size_t>(count) / 2);
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return true;
}

} // namespace fbu
