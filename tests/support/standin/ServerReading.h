#pragma once
// How the database server reads DefaultDbCachePages from its firebird.conf, byte by byte,
// as measured on the real engine (Debian's Firebird 3.0.11, embedded, mon$page_buffers of
// a fresh database). It is the tests' own reading, kept apart from the product's code so
// that the two can disagree.
//
// Lines end at LF; a CR is a blank, so CR LF ends a line too but a lone CR does not.
// Blanks (space, tab, CR) around a line, a key and a value do not count. A '#' outside
// double quotes starts a comment; a line without '=' is ignored. The first setting of
// the key wins, whatever the case of the key. The whole file is refused ("illegal line")
// when a line starts with NUL (which is how a UTF-16 file of more than one line fails),
// has '=' with no key before it, a quote in its key, or a value that opens a quote and
// does not close it there. Elsewhere a NUL ends the key or the value it stands in. There
// is no byte-order mark: a UTF-8 mark belongs to the first line's key.
#include <cstdint>
#include <string>
#include <string_view>

namespace fbu::test::standin {

inline constexpr char kCacheKey[] = "DefaultDbCachePages";
inline constexpr std::int32_t kServerDefaultPages = 2048; // a SuperServer without the setting
inline constexpr std::int32_t kFewestPages = 50;

struct ServerReading {
  enum class Kind { NotSet, Set, Refused };
  Kind kind = Kind::NotSet;
  std::string value;                        // Set: the setting's value as the server sees it, quotes kept
  std::string why;                          // Refused: which line and what is wrong with it
  std::int32_t pages = kServerDefaultPages; // the cache an attachment gets (not for Refused)
};

namespace detail {

inline std::string_view Trimmed(std::string_view text)
{
  constexpr std::string_view blank = " \t\r";
  const auto first = text.find_first_not_of(blank);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blank) - first + 1);
}

inline std::string_view UpToNul(std::string_view text)
{
  return text.substr(0, text.find('\0'));
}

inline bool IsCacheKey(std::string_view name)
{
  if (name.size() != sizeof kCacheKey - 1) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(name[i]) != lower(kCacheKey[i])) return false;
  }
  return true;
}

} // namespace detail

// The server's number rule: an optional '-', digits and an optional k, m or g (any case);
// anything else reads as 0. The count is kept in 32 bits and a negative one means the
// default; below the fewest pages the server takes the fewest. No upper bound.
inline std::int32_t PagesFromValue(std::string_view value)
{
  const bool negative = !value.empty() && value.front() == '-';
  std::size_t i = negative ? 1 : 0;
  std::uint64_t count = 0; // wraps as the server's does
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) count = count * 10 + (value[i] - '0');
  if (i < value.size()) {
    const char unit = value[i];
    const int shift = unit == 'k' || unit == 'K'   ? 10
                      : unit == 'm' || unit == 'M' ? 20
                      : unit == 'g' || unit == 'G' ? 30
                                                   : -1;
    count = shift < 0 || i + 1 != value.size() ? 0 : count << shift;
  }
  const auto pages = static_cast<std::int32_t>(static_cast<std::uint32_t>(negative ? 0 - count : count));
  if (pages < 0) return kServerDefaultPages;
  return pages < kFewestPages ? kFewestPages : pages;
}

inline ServerReading ReadAsTheServer(std::string_view bytes)
{
  ServerReading reading;
  bool found = false;
  std::size_t number = 0;
  for (std::size_t start = 0; start < bytes.size(); ++number) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = detail::Trimmed(bytes.substr(start, end - start));
    start = end + 1;
    const auto refuse = [&](const char* what) {
      return ServerReading{ServerReading::Kind::Refused, {}, "line " + std::to_string(number + 1) + " " + what, 0};
    };
    if (!line.empty() && line.front() == '\0') return refuse("starts with NUL");
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '"') quoted = !quoted;
      if (line[i] == '#' && !quoted) line = line.substr(0, i);
    }
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view key = detail::Trimmed(line.substr(0, eq));
    if (key.empty()) return refuse("has no key before '='");
    if (key.find('"') != std::string_view::npos) return refuse("has a quote in its key");
    const std::string_view value = detail::Trimmed(line.substr(eq + 1));
    std::string_view unquoted = value;
    if (!value.empty() && value.front() == '"') {
      if (value.size() < 2 || value.back() != '"') return refuse("opens a quote it does not close");
      unquoted = detail::Trimmed(value.substr(1, value.size() - 2));
    }
    if (found || !detail::IsCacheKey(detail::UpToNul(key))) continue;
    // Later lines can still make the whole file unreadable, so reading goes on.
    found = true;
    reading = {
        ServerReading::Kind::Set, std::string(detail::UpToNul(value)), {}, PagesFromValue(detail::UpToNul(unquoted))};
  }
  return reading;
}

} // namespace fbu::test::standin
