#pragma once
// A configuration file held as its lines' original bytes, so that one key line can be
// replaced while every other line is written back byte for byte.
//
// The encoding follows the byte-order mark (UTF-8, UTF-16 LE, UTF-16 BE), else the
// system's ANSI code page, reached through an injected converter. Lines end at CR LF, a
// lone CR or a lone LF; saving ends every line with CR LF in the file's encoding. Key
// matching looks at the decoded text of each line up to its first NUL, as the server reads
// it; the bytes from a NUL onward are still kept and written back.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/configfiles/ServerReading.h"
#include "base/Text.h"

namespace fbu {

enum class TextEncoding { Ansi, Utf8, Utf16LE, Utf16BE };

// The ANSI code page in both directions; characters it cannot hold become its default
// character.
struct AnsiCodePage {
  std::function<Text(std::string_view)> decode;
  std::function<std::string(TextView)> encode;
};

// True when line sets key the way the server reads it: up to its comment (a '#' outside
// double quotes), the text before the first '=', without blanks (space, tab, CR) around it
// and up to a NUL, is the key in any case of its ASCII letters.
bool IsActiveKeyLine(TextView line, TextView key);
// True when the first character that is not a blank is '#': the server reads no setting
// from the line.
bool IsCommentLine(TextView line);
// True for the disabled entry a shipped file offers: after leading blanks, '#' directly
// followed by what IsActiveKeyLine accepts.
bool IsDisabledKeyLine(TextView line, TextView key);

class ConfigText {
public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  ConfigText(std::string_view bytes, AnsiCodePage ansi);

  TextEncoding Encoding() const noexcept { return encoding_; }
  std::size_t LineCount() const noexcept { return lines_.size(); }
  // Decoded text of one line, cut at its first NUL.
  Text LineText(std::size_t index) const;
  // The line an update rewrites: the first active setting of key (IsActiveKeyLine) that
  // the server reads; when there is none, the first disabled entry (IsDisabledKeyLine);
  // when there is none either, the first comment line (IsCommentLine) holding key
  // anywhere (case-sensitive); else npos. A line the server reads as a setting of another
  // key is never taken, even when it names key. The first line of a UTF-8 file with a
  // mark is never read by the server, as the mark sticks to it, so it is no active
  // setting; when it sets key it may still stand in as a comment line would.
  std::size_t FindKeyLine(TextView key) const;
  // Replaces the whole line by text, encoded in the file's encoding. Text that replaces
  // the first line of a UTF-8 file with a mark goes on a line of its own after the mark,
  // where the server reads it.
  void ReplaceLine(std::size_t index, TextView text);
  // The file's new content: the byte-order mark, then each line and CR LF.
  std::string Save() const;
  // Text in the file's encoding, without a mark.
  std::string Encode(TextView text) const;

private:
  bool MarkSticksToFirstLine() const noexcept;
  Text Decode(std::string_view bytes) const;

  AnsiCodePage ansi_;
  TextEncoding encoding_ = TextEncoding::Ansi;
  std::string mark_;
  std::vector<std::string> lines_; // each line's bytes, without its break
  // A lone byte after the last whole UTF-16 code unit; written back as it was.
  std::string trailingByte_;
};

// The new content of a file whose key line (ConfigText::FindKeyLine) becomes
// "key = value"; nothing when no line holds the key (the file is then left alone).
std::optional<std::string> ReplaceKeyLine(std::string_view content, TextView key, TextView value, AnsiCodePage ansi);

// The same on a loaded text: true when a line was replaced.
bool ReplaceKeyLine(ConfigText& text, TextView key, TextView value);

// What an update makes of one file.
struct ConfigFilePlan {
  ServerSetting before;     // the setting the server reads today
  bool rewrites = false;    // a line holds the key: the file is saved with "key = value"
  bool takesEffect = false; // and the server then reads that setting
  bool changes = false;     // and the saved bytes differ from the file's
  Text refusal;             // why saving it would be refused (the save's report); empty when it would not
  // The pages the server uses without a setting (by its ServerMode).
  std::int32_t defaultPages = kServerDefaultCachePages;
};
// Plans the update of a file holding content, loaded as text, and carries it out on text
// (which is then what the file is to be saved with).
ConfigFilePlan PlanKeyLine(std::string_view content, ConfigText& text, TextView key, TextView value);
// The same, changing nothing.
ConfigFilePlan PlanKeyLine(std::string_view content, TextView key, TextView value, AnsiCodePage ansi);

} // namespace fbu
