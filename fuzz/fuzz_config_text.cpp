// The configuration-file rewrite over arbitrary bytes: never reads out of bounds; a
// rewritten file loads again with the same encoding and the key line found where it was
// put (one line further down when it went on its own line after a UTF-8 mark); and the
// server, unless it refuses the file whole or it is UTF-16, reads the setting written.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/configfiles/ConfigText.h"

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
  const std::size_t before = text.LineCount();
  text.ReplaceLine(line, u"Key = 1");
  const std::size_t at = line + text.LineCount() - before;
  const std::string saved = text.Save();
  const fbu::ConfigText again(saved, Latin1());
  if (again.Encoding() != text.Encoding()) __builtin_trap();
  if (again.LineCount() != text.LineCount()) __builtin_trap();
  if (again.LineText(at) != u"Key = 1") __builtin_trap();
  if (again.FindKeyLine(u"Key") != at) __builtin_trap();
  // The server reads bytes, so a UTF-16 file is text to it only by chance.
  const bool wide = text.Encoding() == fbu::TextEncoding::Utf16LE || text.Encoding() == fbu::TextEncoding::Utf16BE;
  const fbu::ServerSetting read = fbu::ServerReadsSetting(saved, "Key");
  if (!wide && read.kind != fbu::ServerSetting::Kind::Unreadable &&
      read != fbu::ServerSetting{fbu::ServerSetting::Kind::Set, "1"})
    __builtin_trap();
  return 0;
}
