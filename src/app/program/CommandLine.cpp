#include "app/program/CommandLine.h"

#include <array>

namespace fbu {

std::vector<Text> SplitCommandLine(TextView commandLine)
{
  const auto separates = [](char16_t c) { return c <= u' '; };
  std::vector<Text> words;
  std::size_t at = 0;
  for (;;) {
    while (at < commandLine.size() && separates(commandLine[at])) ++at;
    if (at == commandLine.size()) return words;
    Text word;
    while (at < commandLine.size() && !separates(commandLine[at])) {
      if (commandLine[at] != u'"') {
        word.push_back(commandLine[at++]);
        continue;
      }
      const std::size_t close = commandLine.find(u'"', at + 1);
      const std::size_t end = close == TextView::npos ? commandLine.size() : close;
      word.append(commandLine.substr(at + 1, end - at - 1));
      at = close == TextView::npos ? end : close + 1;
    }
    words.push_back(std::move(word));
  }
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

bool IsCheckSwitch(TextView argument)
{
  return (argument.starts_with(u'/') || argument.starts_with(u'-')) && UpperAsciiOnly(argument.substr(1)) == u"CHECK";
}

} // namespace fbu
