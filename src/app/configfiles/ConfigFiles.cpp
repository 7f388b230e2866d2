#include "app/configfiles/ConfigFiles.h"

namespace fbu {

namespace {

TextView WithoutTrailingSeparators(TextView folder)
{
  while (!folder.empty() && (folder.back() == u'\\' || folder.back() == u'/')) folder.remove_suffix(1);
  return folder;
}

} // namespace

std::vector<Text> FirebirdFoldersFrom(TextView programFiles86, TextView programFiles, TextView programW6432)
{
  if (!programFiles86.empty()) return {Text(programFiles86) + u"\\Firebird"};
  std::vector<Text> folders{Text(programFiles) + u"\\Firebird"};
  if (!programW6432.empty() &&
      !SameTextIgnoreCase(WithoutTrailingSeparators(programW6432), WithoutTrailingSeparators(programFiles)))
    folders.push_back(Text(programW6432) + u"\\Firebird");
  return folders;
}

} // namespace fbu
