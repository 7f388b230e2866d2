// The length-prefixed text record reader over arbitrary bytes: never reads past the
// stream, and whatever it accepts writes back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "tools/GeneralTools.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  fbu::TMemoryStream in;
  in.WriteBuffer(data, static_cast<std::int64_t>(size));
  in.SetPosition(0);
  fbu::Text text;
  while (fbu::ReadStringFromStream(text, &in)) {
    fbu::TMemoryStream out;
    fbu::WriteStringToStream(text, out);
    const auto end = in.Position();
    if (static_cast<std::int64_t>(out.Bytes().size()) > end) __builtin_trap();
    if (std::memcmp(out.Bytes().data(), data + end - out.Bytes().size(), out.Bytes().size()) != 0) __builtin_trap();
  }
  if (!text.empty()) __builtin_trap();
  return 0;
}
