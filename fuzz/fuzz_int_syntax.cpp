// Integer syntax and the trimmed parse: never crash, and agree with each other.
#include <cstddef>
#include <cstdint>

#include "base/IntSyntax.h"
#include "tools/GeneralTools.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  fbu::Text text(size / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
  std::int32_t a = 0, b = 0;
  const bool plain = fbu::TryParseInt32(text, a);
  const bool trimmed = fbu::TryTrimStrToInt(fbu::TrimControl(text), b);
  if (plain && fbu::TrimControl(text) == fbu::TextView(text) && (!trimmed || a != b)) __builtin_trap();
  return 0;
}
