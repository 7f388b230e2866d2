#include "app/ConfigText.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace fbu {

namespace {

bool StartsWith(std::string_view bytes, std::string_view prefix)
{
  return bytes.substr(0, prefix.size()) == prefix;
}

bool IsAscii(TextView text)
{
  return std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; });
}

std::string AsciiBytes(TextView text)
{
  return std::string(text.begin(), text.end());
}

} // namespace

ConfigText::ConfigText(std::string bytes, AnsiCodePage ansi) : bytes_(std::move(bytes)), ansi_(std::move(ansi))
{
  const std::string_view all = bytes_;
  if (StartsWith(all, "\xEF\xBB\xBF")) {
    encoding_ = TextEncoding::Utf8;
    bomLength_ = 3;
  } else if (StartsWith(all, "\xFF\xFE")) {
    encoding_ = TextEncoding::Utf16LE;
    bomLength_ = 2;
  } else if (StartsWith(all, "\xFE\xFF")) {
    encoding_ = TextEncoding::Utf16BE;
    bomLength_ = 2;
  }
  SplitLines();
}

std::size_t ConfigText::UnitSize() const noexcept
{
  return encoding_ == TextEncoding::Utf16LE || encoding_ == TextEncoding::Utf16BE ? 2 : 1;
}

void ConfigText::SplitLines()
{
  std::size_t end = bytes_.size();
  if (UnitSize() == 2 && (end - bomLength_) % 2 != 0) {
    // Half a code unit cannot be text; it is kept so that saving loses nothing.
    --end;
    trailingByte_ = bytes_.substr(end);
  }
  const char* data = bytes_.data();
  std::size_t nulAt = npos;
  // Room for lines of typical length, so that a large file does not regrow the list often.
  lines_.reserve((end - bomLength_) / (64 * UnitSize()) + 1);

  const std::size_t unit = UnitSize();
  // Where the low byte of a code unit lies within it; the high byte of a break or a NUL
  // is zero.
  const std::size_t low = encoding_ == TextEncoding::Utf16BE ? 1 : 0;
  auto isUnit = [&](std::size_t at, char c) {
    return data[at + low] == c && (unit == 1 || data[at + 1 - low] == '\0');
  };
  // The next code unit c at or after from (a code-unit boundary), or end. memchr finds
  // candidate bytes; in UTF-16 a candidate must sit on a unit's low byte.
  auto next = [&](char c, std::size_t from) {
    while (from < end) {
      const void* hit = std::memchr(data + from + low, c, end - from - low);
      if (!hit) break;
      const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - data) - low;
      if ((at - bomLength_) % unit == 0 && isUnit(at, c)) return at;
      from = at + unit - (at - bomLength_) % unit;
    }
    return end;
  };
  nulAt = unit == 1 ? next('\0', bomLength_) : FirstNulUnit(bomLength_, end);
  if (nulAt == end) nulAt = npos;
  // Both break characters are looked up ahead; only the one consumed is sought again, so
  // a file with one kind of break is scanned once.
  std::size_t pos = bomLength_;
  std::size_t nextCr = next('\r', pos);
  std::size_t nextLf = next('\n', pos);
  while (pos < end) {
    if (nextCr < pos) nextCr = next('\r', pos);
    if (nextLf < pos) nextLf = next('\n', pos);
    const std::size_t brk = std::min(nextCr, nextLf);
    lines_.push_back({pos, brk - pos, npos});
    if (brk == end) break;
    pos = brk + unit;
    if (brk == nextCr && pos < end && isUnit(pos, '\n')) pos += unit;
  }

  if (nulAt != npos) {
    const auto it = std::upper_bound(lines_.begin(), lines_.end(), nulAt,
                                     [](std::size_t at, const Line& line) { return at < line.offset; });
    nulLine_ = static_cast<std::size_t>(it - lines_.begin()) - 1;
  }
}

std::size_t ConfigText::FirstNulUnit(std::size_t from, std::size_t end) const noexcept
{
  // Four UTF-16 code units at a time: a lane is zero exactly when both its bytes are, in
  // either byte order.
  const char* data = bytes_.data();
  constexpr std::uint64_t kOnes = 0x0001000100010001u;
  constexpr std::uint64_t kHighs = 0x8000800080008000u;
  while (from + 8 <= end) {
    std::uint64_t word;
    std::memcpy(&word, data + from, 8);
    if ((word - kOnes) & ~word & kHighs) break;
    from += 8;
  }
  for (; from + 2 <= end; from += 2) {
    if (data[from] == '\0' && data[from + 1] == '\0') return from;
  }
  return end;
}

std::string_view ConfigText::LineBytes(const Line& line) const
{
  if (line.replacement != npos) return replacements_[line.replacement];
  return std::string_view(bytes_).substr(line.offset, line.length);
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
  case TextEncoding::Ansi: return ansi_.encode ? ansi_.encode(text) : AsciiBytes(text);
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
  if (index >= lines_.size() || (nulLine_ != npos && index > nulLine_)) return {};
  Text text = Decode(LineBytes(lines_[index]));
  if (index == nulLine_) text.resize(std::min(text.size(), text.find(u'\0')));
  return text;
}

std::size_t ConfigText::FindKeyLine(TextView key) const
{
  // An empty key is found nowhere, as a substring search for nothing reports no place.
  if (key.empty()) return npos;
  const std::size_t last = nulLine_ == npos ? lines_.size() : nulLine_ + 1;
  // The key is sought in the bytes wherever that gives the same answer as the decoded
  // text. UTF-16 maps code units one to one, and UTF-8 decodes an ASCII character only
  // from that very byte. In the ANSI code pages an ASCII character likewise comes only
  // from its own byte, except the '?' that some pages give for undecodable bytes, so
  // there the bytes only rule lines out and a hit is confirmed on the decoded text.
  const bool asciiKey = IsAscii(key);
  const bool wide = UnitSize() == 2;
  const bool exactInBytes = wide || (asciiKey && encoding_ == TextEncoding::Utf8);
  const bool filterByBytes = asciiKey && encoding_ == TextEncoding::Ansi && key.find(u'?') == TextView::npos;
  const std::string keyBytes = wide ? Encode(key) : asciiKey ? AsciiBytes(key) : std::string();
  for (std::size_t i = 0; i < last; ++i) {
    if (!exactInBytes && !filterByBytes) {
      if (LineText(i).find(key) != Text::npos) return i;
      continue;
    }
    std::string_view bytes = LineBytes(lines_[i]);
    if (i == nulLine_) bytes = bytes.substr(0, NulOffset(bytes));
    std::size_t hit = bytes.find(keyBytes);
    // In UTF-16 a hit must start on a code unit.
    while (wide && hit != std::string_view::npos && hit % 2 != 0) hit = bytes.find(keyBytes, hit + 1);
    if (hit == std::string_view::npos) continue;
    if (exactInBytes || LineText(i).find(key) != Text::npos) return i;
  }
  return npos;
}

std::size_t ConfigText::NulOffset(std::string_view bytes) const noexcept
{
  const std::size_t unit = UnitSize();
  for (std::size_t at = 0; at + unit <= bytes.size(); at += unit) {
    if (bytes[at] == '\0' && bytes[at + unit - 1] == '\0') return at;
  }
  return bytes.size();
}

void ConfigText::ReplaceLine(std::size_t index, TextView text)
{
  Line& line = lines_.at(index);
  if (line.replacement == npos) {
    line.replacement = replacements_.size();
    replacements_.emplace_back();
  }
  replacements_[line.replacement] = Encode(text);
}

std::string ConfigText::Save() const
{
  std::string out;
  Save([&](std::string_view piece) { out.append(piece); });
  return out;
}

void ConfigText::Save(const std::function<void(std::string_view)>& sink) const
{
  constexpr std::size_t kPiece = 1 << 20;
  const std::string lineBreak = Encode(u"\r\n");
  std::string piece;
  piece.reserve(kPiece);
  piece.append(bytes_, 0, bomLength_);
  for (const Line& line : lines_) {
    const std::string_view bytes = LineBytes(line);
    if (piece.size() + bytes.size() + lineBreak.size() > kPiece) {
      sink(piece);
      piece.clear();
    }
    // A line longer than a piece goes out on its own, without another copy.
    if (bytes.size() > kPiece) {
      sink(bytes);
    } else {
      piece.append(bytes);
    }
    piece.append(lineBreak);
  }
  piece.append(trailingByte_);
  if (!piece.empty()) sink(piece);
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

std::optional<std::string> ReplaceKeyLine(std::string content, TextView key, TextView value, AnsiCodePage ansi)
{
  ConfigText text(std::move(content), std::move(ansi));
  if (!ReplaceKeyLine(text, key, value)) return std::nullopt;
  return text.Save();
}

} // namespace fbu
