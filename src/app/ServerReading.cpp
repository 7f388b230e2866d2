#include "app/ServerReading.h"

#include <limits>

namespace fbu {

namespace {

std::string_view TrimBlanks(std::string_view text)
{
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool SameAsciiIgnoreCase(std::string_view a, std::string_view b)
{
  if (a.size() != b.size()) return false;
  const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  for (std::size_t i = 0; i < a.size(); ++i)
    if (upper(a[i]) != upper(b[i])) return false;
  return true;
}

} // namespace

ServerSetting ServerReadsSetting(std::string_view fileBytes, std::string_view key)
{
  if (fileBytes.starts_with("\xFF\xFE") || fileBytes.starts_with("\xFE\xFF"))
    return {ServerSetting::Kind::Unreadable, {}};
  ServerSetting found;
  std::size_t start = 0;
  while (start < fileBytes.size()) {
    const std::size_t end = std::min(fileBytes.find('\n', start), fileBytes.size());
    std::string_view line = fileBytes.substr(start, end - start);
    start = end + 1;
    if (line.ends_with('\r')) line.remove_suffix(1);
    // A line that starts with NUL spoils the whole file, also after a setting was found.
    if (line.starts_with('\0')) return {ServerSetting::Kind::Unreadable, {}};
    if (found.kind == ServerSetting::Kind::Set) continue;
    line = line.substr(0, line.find('\0'));
    line = line.substr(0, line.find('#'));
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || !SameAsciiIgnoreCase(TrimBlanks(line.substr(0, equals)), key)) continue;
    found = {ServerSetting::Kind::Set, std::string(TrimBlanks(line.substr(equals + 1)))};
  }
  return found;
}

std::uint64_t ServerNumber(std::string_view value)
{
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  std::size_t digits = 0;
  std::uint64_t number = 0;
  for (; digits < value.size() && value[digits] >= '0' && value[digits] <= '9'; ++digits)
    number = number > (kMax - 9) / 10 ? kMax : number * 10 + static_cast<unsigned>(value[digits] - '0');
  if (digits == 0) return 0;
  if (digits == value.size()) return number;
  if (digits + 1 != value.size()) return 0;
  int shifts = 0;
  switch (value[digits]) {
  case 'k':
  case 'K': shifts = 1; break;
  case 'm':
  case 'M': shifts = 2; break;
  case 'g':
  case 'G': shifts = 3; break;
  default: return 0;
  }
  for (int i = 0; i < shifts; ++i) number = number > kMax / 1024 ? kMax : number * 1024;
  return number;
}

} // namespace fbu
