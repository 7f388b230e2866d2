#include "app/services/ServerInstances.h"

#include "tools/ServiceQueriesCore.h"

namespace fbu {

namespace {

bool HasPrefixIgnoringCase(TextView name, TextView prefix)
{
  return name.size() >= prefix.size() && UpperAsciiOnly(name.substr(0, prefix.size())) == UpperAsciiOnly(prefix);
}

Text ParentFolder(TextView path)
{
  const std::size_t cut = path.find_last_of(u"\\/");
  return cut == TextView::npos ? Text() : Text(path.substr(0, cut));
}

} // namespace

std::optional<FirebirdService> FirebirdServiceNamed(TextView name)
{
  for (const bool guardian : {false, true}) {
    const TextView prefix = guardian ? kGuardianServicePrefix : kServerServicePrefix;
    if (!HasPrefixIgnoringCase(name, prefix)) continue;
    FirebirdService service;
    service.name = Text(name);
    service.instance = Text(name.substr(prefix.size()));
    service.guardian = guardian;
    return service;
  }
  return std::nullopt;
}

Text ComparableFolder(TextView folder)
{
  Text out(folder);
  for (char16_t& c : out)
    if (c == u'/') c = u'\\';
  while (out.size() > 1 && out.back() == u'\\' && !(out.size() == 3 && out[1] == u':')) out.pop_back();
  return out;
}

Text InstallationRoot(TextView binaryPath)
{
  Text folder = ComparableFolder(ParentFolder(ServiceExecutablePath(binaryPath)));
  const std::size_t last = folder.find_last_of(u'\\');
  if (last != Text::npos && UpperAsciiOnly(TextView(folder).substr(last + 1)) == u"BIN") folder.erase(last);
  // A drive's root keeps its separator: "C:" alone names the drive's current folder.
  if (folder.size() == 2 && folder[1] == u':') folder += u'\\';
  return folder;
}

Text ConfigFileRoot(TextView configFile)
{
  return ComparableFolder(ParentFolder(configFile));
}

bool SameInstallation(TextView a, TextView b)
{
  return !a.empty() && !b.empty() && SameTextIgnoreCase(ComparableFolder(a), ComparableFolder(b));
}

namespace {

const FirebirdService* Find(const std::vector<FirebirdService>& services, TextView instance, bool guardian)
{
  for (const FirebirdService& service : services)
    if (service.guardian == guardian && UpperAsciiOnly(service.instance) == UpperAsciiOnly(instance)) return &service;
  return nullptr;
}

} // namespace

const FirebirdService* FindServer(const std::vector<FirebirdService>& services, TextView instance)
{
  return Find(services, instance, false);
}

const FirebirdService* FindGuardian(const std::vector<FirebirdService>& services, TextView instance)
{
  return Find(services, instance, true);
}

} // namespace fbu
