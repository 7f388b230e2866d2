#include "app/SetDBCachePSize.h"

#include <array>
#include <cstdint>

#include "base/Exceptions.h"
#include "base/IntSyntax.h"

namespace fbu {

Text ChooseCachePagesValue(const Text* firstArgument, int itemIndex, TextView comboText)
{
  if (firstArgument) return *firstArgument;
  if (itemIndex != -1 && !comboText.empty()) return Text(comboText);
  std::int32_t parsed = 0;
  if (TryParseInt32(comboText, parsed)) return Text(comboText);
  return kDefaultCachePages;
}

bool IsRegistrationSwitch(TextView argument)
{
  static constexpr std::array<TextView, 4> switches = {u"REGSERVER", u"UNREGSERVER", u"REGSERVERPERUSER",
                                                       u"UNREGSERVERPERUSER"};
  if (argument.empty() || (argument.front() != u'/' && argument.front() != u'-')) return false;
  const Text name = UpperAsciiOnly(argument.substr(1));
  for (TextView s : switches)
    if (name == s) return true;
  return false;
}

bool HasRegistrationSwitch(const std::vector<Text>& arguments)
{
  for (const Text& a : arguments)
    if (IsRegistrationSwitch(a)) return true;
  return false;
}

void CheckCachePagesValue(TextView value)
{
  if (value.find_first_of(TextView(u"\r\n\0", 3)) != TextView::npos)
    throw Exception(u"The cache pages value must not contain line breaks or NUL characters; nothing was changed.");
}

} // namespace fbu
