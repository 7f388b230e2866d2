#include "app/configfiles/ConfigText.h"

#include <array>

namespace fbu {

namespace {

bool IsBlank(char16_t c)
{
  return c == u' ' || c == u'\t' || c == u'\r';
}

TextView WithoutLeadingBlanks(TextView line)
{
  std::size_t at = 0;
  while (at < line.size() && IsBlank(line[at])) ++at;
  return line.substr(at);
}

TextView TrimBlanks(TextView text)
{
  text = WithoutLeadingBlanks(text);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The line up to its comment: a '#' outside double quotes.
TextView WithoutComment(TextView line)
{
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == u'"') quoted = !quoted;
    if (line[i] == u'#' && !quoted) return line.substr(0, i);
  }
  return line;
}

} // namespace

bool IsActiveKeyLine(TextView line, TextView key)
{
  line = WithoutComment(line);
  const std::size_t equals = line.find(u'=');
  if (key.empty() || equals == TextView::npos) return false;
  TextView name = TrimBlanks(line.substr(0, equals));
  name = name.substr(0, name.find(u'\0'));
  return UpperAsciiOnly(name) == UpperAsciiOnly(key);
}

bool IsCommentLine(TextView line)
{
  line = WithoutLeadingBlanks(line);
  return !line.empty() && line[0] == u'#';
}

bool IsDisabledKeyLine(TextView line, TextView key)
{
  line = WithoutLeadingBlanks(line);
  return line.size() > 1 && line[0] == u'#' && !IsBlank(line[1]) && IsActiveKeyLine(line.substr(1), key);
}

ConfigText::ConfigText(std::string_view bytes, AnsiCodePage ansi) : ansi_(std::move(ansi))
{
  struct Mark {
    std::string_view bytes;
    TextEncoding encoding;
  };
  static constexpr std::array<Mark, 3> marks{
      {{"\xEF\xBB\xBF", TextEncoding::Utf8}, {"\xFF\xFE", TextEncoding::Utf16LE}, {"\xFE\xFF", TextEncoding::Utf16BE}}};
  for (const Mark& mark : marks) {
    if (bytes.starts_with(mark.bytes)) {
      encoding_ = mark.encoding;
      mark_ = mark.bytes;
      break;
    }
  }
  bytes.remove_prefix(mark_.size());

  const bool wide = encoding_ == TextEncoding::Utf16LE || encoding_ == TextEncoding::Utf16BE;
  const std::size_t unit = wide ? 2 : 1;
  if (bytes.size() % unit != 0) {
    // Half a code unit cannot be text; it is kept so that saving loses nothing.
    trailingByte_ = bytes.substr(bytes.size() - 1);
    bytes.remove_suffix(1);
  }
  const auto unitAt = [&](std::size_t at) -> char16_t {
    const auto b0 = static_cast<unsigned char>(bytes[at]);
    if (!wide) return b0;
    const auto b1 = static_cast<unsigned char>(bytes[at + 1]);
    return static_cast<char16_t>(encoding_ == TextEncoding::Utf16LE ? b0 | (b1 << 8) : (b0 << 8) | b1);
  };

  std::size_t start = 0;
  for (std::size_t at = 0; at < bytes.size(); at += unit) {
    const char16_t c = unitAt(at);
    if (c != u'\r' && c != u'\n') continue;
    lines_.emplace_back(bytes.substr(start, at - start));
    if (c == u'\r' && at + unit < bytes.size() && unitAt(at + unit) == u'\n') at += unit;
    start = at + unit;
  }
  if (start < bytes.size()) lines_.emplace_back(bytes.substr(start));
}

Text ConfigText::Decode(std::string_view bytes) const
{
  switch (encoding_) {
  case TextEncoding::Utf8: return FromUtf8(bytes);
  case TextEncoding::Ansi: return ansi_.decode ? ansi_.decode(bytes) : Text(bytes.begin(), bytes.end());
  default: break;
  }
  const bool little = encoding_ == TextEncoding::Utf16LE;
  Text text(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b0 = static_cast<unsigned char>(bytes[2 * i]);
    const auto b1 = static_cast<unsigned char>(bytes[2 * i + 1]);
    text[i] = static_cast<char16_t>(little ? b0 | (b1 << 8) : (b0 << 8) | b1);
  }
  return text;
}

std::string ConfigText::Encode(TextView text) const
{
  switch (encoding_) {
  case TextEncoding::Utf8: return ToUtf8(text);
  case TextEncoding::Ansi: return ansi_.encode ? ansi_.encode(text) : std::string(text.begin(), text.end());
  default: break;
  }
  const bool little = encoding_ == TextEncoding::Utf16LE;
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t c : text) {
    const char lo = static_cast<char>(c & 0xFF);
    const char hi = static_cast<char>(c >> 8);
    bytes.push_back(little ? lo : hi);
    bytes.push_back(little ? hi : lo);
  }
  return bytes;
}

Text ConfigText::LineText(std::size_t index) const
{
  if (index >= lines_.size()) return {};
  Text text = Decode(lines_[index]);
  text.resize(std::min(text.size(), text.find(u'\0')));
  return text;
}

bool ConfigText::MarkSticksToFirstLine() const noexcept
{
  return encoding_ == TextEncoding::Utf8 && !mark_.empty();
}

std::size_t ConfigText::FindKeyLine(TextView key) const
{
  // An empty key is found nowhere, as a substring search for nothing reports no place.
  if (key.empty()) return npos;
  std::size_t firstDisabled = npos, firstMention = npos;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    // Settings are judged on the whole line, as the server reads on past a NUL; a mention
    // is searched for in the text before it.
    const Text line = Decode(lines_[i]);
    const bool active = IsActiveKeyLine(line, key);
    const bool hiddenByMark = i == 0 && MarkSticksToFirstLine();
    if (active && !hiddenByMark) return i;
    if (firstDisabled == npos && IsDisabledKeyLine(line, key)) firstDisabled = i;
    // Only a comment line, or this key's own setting that the mark hides, may stand in:
    // any other line is another setting (or text the server reads), and stays.
    const bool mayStandIn = IsCommentLine(line) || (active && hiddenByMark);
    if (firstMention == npos && mayStandIn && TextView(line).substr(0, line.find(u'\0')).find(key) != TextView::npos)
      firstMention = i;
  }
  return firstDisabled != npos ? firstDisabled : firstMention;
}

void ConfigText::ReplaceLine(std::size_t index, TextView text)
{
  lines_.at(index) = Encode(text);
  if (index == 0 && MarkSticksToFirstLine()) lines_.insert(lines_.begin(), std::string());
}

std::string ConfigText::Save() const
{
  const std::string lineBreak = Encode(u"\r\n");
  std::size_t size = mark_.size() + trailingByte_.size();
  for (const std::string& line : lines_) size += line.size() + lineBreak.size();
  std::string out;
  out.reserve(size);
  out += mark_;
  for (const std::string& line : lines_) {
    out += line;
    out += lineBreak;
  }
  out += trailingByte_;
  return out;
}

bool ReplaceKeyLine(ConfigText& text, TextView key, TextView value)
{
  const std::size_t line = text.FindKeyLine(key);
  if (line == ConfigText::npos) return false;
  Text replacement(key);
  replacement += u" = ";
  replacement += value;
  text.ReplaceLine(line, replacement);
  return true;
}

std::optional<std::string> ReplaceKeyLine(std::string_view content, TextView key, TextView value, AnsiCodePage ansi)
{
  ConfigText text(content, std::move(ansi));
  if (!ReplaceKeyLine(text, key, value)) return std::nullopt;
  return text.Save();
}

namespace {

// True when the server, reading saved (the content of text), uses exactly the setting
// "key = value" as text encodes it.
bool SettingTakesEffect(const ConfigText& text, std::string_view saved, TextView key, TextView value)
{
  const std::string asciiKey = ToUtf8(key);
  const ServerSetting now = ServerReadsSetting(saved, asciiKey);
  const Text line = Text(key) + u" = " + Text(value);
  return now.kind == ServerSetting::Kind::Set && now == ServerReadsSetting(text.Encode(line), asciiKey);
}

} // namespace

ConfigFilePlan PlanKeyLine(std::string_view content, ConfigText& text, TextView key, TextView value)
{
  ConfigFilePlan plan;
  plan.before = ServerReadsSetting(content, ToUtf8(key));
  plan.defaultPages = ServerDefaultCachePages(content);
  plan.rewrites = ReplaceKeyLine(text, key, value);
  if (!plan.rewrites) return plan;
  const std::string saved = text.Save();
  plan.takesEffect = SettingTakesEffect(text, saved, key, value);
  plan.changes = saved != content;
  return plan;
}

ConfigFilePlan PlanKeyLine(std::string_view content, TextView key, TextView value, AnsiCodePage ansi)
{
  ConfigText text(content, std::move(ansi));
  return PlanKeyLine(content, text, key, value);
}

} // namespace fbu
