#pragma once
// A configuration file held as its original bytes, split into lines, so that one key
// line can be replaced while every other line is written back byte for byte.
//
// The encoding follows the byte-order mark (UTF-8, UTF-16 LE, UTF-16 BE), else the
// system's ANSI code page, reached through an injected converter. Lines end at CR LF, a
// lone CR or a lone LF; saving ends every line with CR LF in the file's encoding. Key
// matching looks at the decoded text and, as a text reader would, stops at the first
// NUL character; the bytes from the NUL onward are still kept and written back.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Text.h"

namespace fbu {

enum class TextEncoding { Ansi, Utf8, Utf16LE, Utf16BE };

// The ANSI code page in both directions; characters it cannot hold become its default
// character.
struct AnsiCodePage {
  std::function<Text(std::string_view)> decode;
  std::function<std::string(TextView)> encode;
};

class ConfigText {
public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  ConfigText(std::string bytes, AnsiCodePage ansi);

  TextEncoding Encoding() const noexcept { return encoding_; }
  std::size_t LineCount() const noexcept { return lines_.size(); }
  // Decoded text of one line, cut at a NUL; empty for the lines after a NUL.
  Text LineText(std::size_t index) const;
  // The first line whose decoded text holds key (case-sensitive), or npos.
  std::size_t FindKeyLine(TextView key) const;
  // Replaces the whole line by text, encoded in the file's encoding.
  void ReplaceLine(std::size_t index, TextView text);
  // The file's new content: the byte-order mark, then each line and CR LF. The sink
  // form hands it over in pieces of bounded size, so no second copy of a large file is
  // held in memory.
  std::string Save() const;
  void Save(const std::function<void(std::string_view)>& sink) const;

private:
  struct Line {
    std::size_t offset = 0; // into bytes_
    std::size_t length = 0;
    std::size_t replacement = npos; // into replacements_, once replaced
  };

  void SplitLines();
  std::string_view LineBytes(const Line& line) const;
  std::string Encode(TextView text) const;
  Text Decode(std::string_view bytes) const;
  std::size_t UnitSize() const noexcept;
  std::size_t FirstNulUnit(std::size_t from, std::size_t end) const noexcept;
  // Offset of the first NUL code unit in a line's bytes, or their size.
  std::size_t NulOffset(std::string_view bytes) const noexcept;

  std::string bytes_;
  AnsiCodePage ansi_;
  TextEncoding encoding_ = TextEncoding::Ansi;
  std::size_t bomLength_ = 0;
  std::vector<Line> lines_;
  std::vector<std::string> replacements_;
  // Index of the line holding the first NUL; lines after it are not matched.
  std::size_t nulLine_ = npos;
  // A lone byte after the last whole UTF-16 code unit; written back as it was.
  std::string trailingByte_;
};

// The new content of a file whose first line holding key becomes "key = value"; nothing
// when no line holds the key (the file is then left alone).
std::optional<std::string> ReplaceKeyLine(std::string content, TextView key, TextView value, AnsiCodePage ansi);

// The same on a loaded text: true when a line was replaced.
bool ReplaceKeyLine(ConfigText& text, TextView key, TextView value);

} // namespace fbu
