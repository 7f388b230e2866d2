#pragma once
// A configuration file held as its lines' original bytes, so that one key line can be
// replaced while every other line is written back byte for byte.
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

// True when line sets key the way the server reads it: after leading blanks and tabs,
// the key in any case of its ASCII letters, optional blanks or tabs, then '='.
bool IsActiveKeyLine(TextView line, TextView key);

class ConfigText {
public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  ConfigText(std::string_view bytes, AnsiCodePage ansi);

  TextEncoding Encoding() const noexcept { return encoding_; }
  std::size_t LineCount() const noexcept { return lines_.size(); }
  // Decoded text of one line, cut at a NUL; empty for the lines after a NUL.
  Text LineText(std::size_t index) const;
  // The line an update rewrites: the first active setting of key (IsActiveKeyLine);
  // when there is none, the first line holding key anywhere (case-sensitive); else npos.
  std::size_t FindKeyLine(TextView key) const;
  // Replaces the whole line by text, encoded in the file's encoding.
  void ReplaceLine(std::size_t index, TextView text);
  // The file's new content: the byte-order mark, then each line and CR LF.
  std::string Save() const;

private:
  std::string Encode(TextView text) const;
  Text Decode(std::string_view bytes) const;

  AnsiCodePage ansi_;
  TextEncoding encoding_ = TextEncoding::Ansi;
  std::string mark_;
  std::vector<std::string> lines_; // each line's bytes, without its break
  // The line holding the first NUL; the lines after it are not text to a reader.
  std::size_t nulLine_ = npos;
  // A lone byte after the last whole UTF-16 code unit; written back as it was.
  std::string trailingByte_;
};

// The new content of a file whose key line (ConfigText::FindKeyLine) becomes
// "key = value"; nothing when no line holds the key (the file is then left alone).
std::optional<std::string> ReplaceKeyLine(std::string_view content, TextView key, TextView value, AnsiCodePage ansi);

// The same on a loaded text: true when a line was replaced.
bool ReplaceKeyLine(ConfigText& text, TextView key, TextView value);

} // namespace fbu
