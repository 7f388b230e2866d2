#include "tools/ServiceQueriesCore.h"

#include <string>

namespace fbu {

namespace {

bool FoldedMatches(TextView foldedName, TextView foldedPattern, bool exactMatch)
{
  return exactMatch ? foldedName == foldedPattern : foldedName.find(foldedPattern) != TextView::npos;
}

} // namespace

bool ServiceNameMatches(TextView name, TextView pattern, bool exactMatch)
{
  return FoldedMatches(UpperAsciiOnly(name), UpperAsciiOnly(pattern), exactMatch);
}

void KeepMatchingServiceNames(TStringList& names, TextView pattern, bool exactMatch)
{
  const Text folded = UpperAsciiOnly(pattern);
  for (int i = names.Count() - 1; i >= 0; --i) {
    if (!FoldedMatches(UpperAsciiOnly(names[i]), folded, exactMatch)) names.Delete(i);
  }
}

bool FindServicesIn(TStringList* list, TextView pattern, bool exactMatch,
                    const std::function<bool(TStringList*)>& enumerate)
{
  if (!list || TrimControl(pattern).empty()) return false;
  if (!enumerate(list)) return false;
  KeepMatchingServiceNames(*list, pattern, exactMatch);
  return true;
}

Text ServiceExecutablePath(TextView binaryPath)
{
  const TextView path = TrimControl(binaryPath);
  if (path.starts_with(u'"')) {
    const std::size_t close = path.find(u'"', 1);
    return Text(TrimControl(path.substr(1, close == TextView::npos ? TextView::npos : close - 1)));
  }
  for (std::size_t end = path.find(u' '); end != TextView::npos; end = path.find(u' ', end + 1)) {
    const TextView words = path.substr(0, end);
    if (words.size() >= 4 && UpperAsciiOnly(words.substr(words.size() - 4)) == u".EXE") return Text(words);
  }
  return Text(path);
}

Text ServiceBinaryPathFolder(TextView binaryPath)
{
  const Text executable = ServiceExecutablePath(binaryPath);
  const std::size_t cut = executable.find_last_of(u"\\/:");
  if (cut == TextView::npos) return Text();
  Text folder(executable.substr(0, cut));
  std::erase(folder, u'"');
  return folder;
}

bool AddDistinctFolder(TStringList& folders, TextView folder)
{
  const TextView trimmed = TrimControl(folder);
  if (trimmed.empty() || folders.IndexOf(trimmed) >= 0) return false;
  folders.Add(Text(trimmed));
  return true;
}

} // namespace fbu
