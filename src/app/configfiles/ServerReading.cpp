#include "app/configfiles/ServerReading.h"

#include <algorithm>
#include <optional>

namespace fbu {

namespace {

std::string_view TrimBlanks(std::string_view text)
{
  constexpr std::string_view kBlanks = " \t\r";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::string_view UpToNul(std::string_view text)
{
  return text.substr(0, text.find('\0'));
}

bool SameAsciiIgnoreCase(std::string_view a, std::string_view b)
{
  if (a.size() != b.size()) return false;
  const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  for (std::size_t i = 0; i < a.size(); ++i)
    if (upper(a[i]) != upper(b[i])) return false;
  return true;
}

std::string_view WithoutComment(std::string_view line)
{
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') quoted = !quoted;
    if (line[i] == '#' && !quoted) return line.substr(0, i);
  }
  return line;
}

std::string_view Unquoted(std::string_view value)
{
  if (value.size() >= 2 && value.starts_with('"') && value.ends_with('"'))
    return TrimBlanks(value.substr(1, value.size() - 2));
  return value;
}

} // namespace

ServerSetting ServerReadsSetting(std::string_view fileBytes, std::string_view key)
{
  const ServerSetting kRefused{ServerSetting::Kind::Unreadable, {}};
  ServerSetting found;
  std::size_t start = 0;
  while (start < fileBytes.size()) {
    const std::size_t end = std::min(fileBytes.find('\n', start), fileBytes.size());
    const std::string_view line = WithoutComment(TrimBlanks(fileBytes.substr(start, end - start)));
    start = end + 1;
    // Such lines refuse the whole file, also after the setting was found.
    if (line.starts_with('\0')) return kRefused;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view name = TrimBlanks(line.substr(0, equals));
    const std::string_view value = TrimBlanks(line.substr(equals + 1));
    if (name.empty() || name.find('"') != std::string_view::npos) return kRefused;
    if (value.starts_with('"') && (value.size() < 2 || !value.ends_with('"'))) return kRefused;
    if (found.kind == ServerSetting::Kind::NotSet && SameAsciiIgnoreCase(UpToNul(name), key))
      found = {ServerSetting::Kind::Set, std::string(UpToNul(value))};
  }
  return found;
}

std::int32_t ServerCachePages(std::string_view value, std::int32_t defaultPages)
{
  value = Unquoted(value);
  const bool negative = value.starts_with('-');
  std::size_t at = negative ? 1 : 0;
  std::uint32_t count = 0; // wraps as the server's count does
  for (; at < value.size() && value[at] >= '0' && value[at] <= '9'; ++at)
    count = count * 10 + static_cast<std::uint32_t>(value[at] - '0');
  if (at < value.size()) {
    int shift = -1;
    switch (value[at]) {
    case 'k':
    case 'K': shift = 10; break;
    case 'm':
    case 'M': shift = 20; break;
    case 'g':
    case 'G': shift = 30; break;
    default: break;
    }
    count = shift < 0 || at + 1 != value.size() ? 0 : count << shift;
  }
  const auto pages = static_cast<std::int32_t>(negative ? 0u - count : count);
  if (pages < 0) return defaultPages;
  return pages < kServerFewestCachePages ? kServerFewestCachePages : pages;
}

std::int32_t ServerDefaultCachePages(std::string_view fileBytes)
{
  const ServerSetting mode = ServerReadsSetting(fileBytes, "ServerMode");
  if (mode.kind != ServerSetting::Kind::Set) return kServerDefaultCachePages;
  const std::string_view name = Unquoted(mode.value);
  for (const std::string_view shared : {"SuperClassic", "ThreadedShared", "Classic", "MultiProcess"})
    if (SameAsciiIgnoreCase(name, shared)) return kSharedModeDefaultCachePages;
  return kServerDefaultCachePages;
}

std::vector<DatabaseCacheOverride> DatabaseCacheOverrides(std::string_view fileBytes, std::string_view key)
{
  std::vector<DatabaseCacheOverride> found;
  std::string alias;                            // the last entry seen outside a block
  bool inBlock = false;                         // between an entry's braces
  bool blockOwned = false;                      // the block belongs to an entry
  std::optional<DatabaseCacheOverride> pending; // the block's setting, kept when it closes
  std::size_t start = 0;
  while (start < fileBytes.size()) {
    const std::size_t end = std::min(fileBytes.find('\n', start), fileBytes.size());
    std::string_view line = TrimBlanks(WithoutComment(TrimBlanks(fileBytes.substr(start, end - start))));
    start = end + 1;
    if (line.starts_with('\0')) return {};
    if (!inBlock) {
      bool opens = line.ends_with('{');
      if (opens) line = TrimBlanks(line.substr(0, line.size() - 1));
      const std::size_t equals = line.find('=');
      if (equals != std::string_view::npos) {
        alias = std::string(UpToNul(TrimBlanks(line.substr(0, equals))));
      } else if (!line.empty()) {
        alias.clear();
      }
      if (opens) {
        inBlock = true;
        blockOwned = !alias.empty();
        pending.reset();
      }
      continue;
    }
    if (line == "}") {
      if (blockOwned && pending) found.push_back(*pending);
      inBlock = false;
      alias.clear();
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || pending) continue;
    if (SameAsciiIgnoreCase(UpToNul(TrimBlanks(line.substr(0, equals))), key))
      pending = DatabaseCacheOverride{alias, std::string(UpToNul(TrimBlanks(line.substr(equals + 1))))};
  }
  return found;
}

} // namespace fbu
