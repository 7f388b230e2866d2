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

Text ServiceBinaryPathFolder(TextView binaryPath)
{
  const std::size_t cut = binaryPath.find_last_of(u"\\:");
  if (cut == TextView::npos) return Text();
  Text folder(binaryPath.substr(0, cut));
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
