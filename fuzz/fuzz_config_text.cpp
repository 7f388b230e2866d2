// The configuration-file rewrite over arbitrary bytes: never reads out of bounds, and a
// rewritten file loads again with the same encoding, the same number of lines and the
// key line found where it was put.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/ConfigText.h"

namespace {

fbu::AnsiCodePage Latin1()
{
  return {[](std::string_view b) { return fbu::Text(b.begin(), b.end()); },
          [](fbu::TextView t) { return std::string(t.begin(), t.end()); }};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  fbu::ConfigText text(bytes, Latin1());
  const std::size_t line = text.FindKeyLine(u"Key");
  if (line == fbu::ConfigText::npos) return 0;
  text.ReplaceLine(line, u"Key = 1");
  const fbu::ConfigText again(text.Save(), Latin1());
  if (again.Encoding() != text.Encoding()) __builtin_trap();
  if (again.LineCount() != text.LineCount()) __builtin_trap();
  if (again.LineText(line) != u"Key = 1") __builtin_trap();
  if (again.FindKeyLine(u"Key") != line) __builtin_trap();
  return 0;
}
