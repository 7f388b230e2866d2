#include "app/SetDBCachePSize.h"

#include <array>
#include <cstdint>
#include <limits>

#include "app/ServerReading.h"
#include "base/Exceptions.h"

namespace fbu {

Text ChooseCachePagesValue(const Text* firstArgument, TextView comboText)
{
  return firstArgument ? *firstArgument : Text(comboText);
}

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

namespace {

// A value as long as a whole file would make a report unreadable.
Text ShownValue(TextView value)
{
  constexpr std::size_t kShown = 40;
  return value.size() > kShown ? Text(value.substr(0, kShown)) + u"..." : Text(value);
}

Text Megabytes(std::uint64_t bytes)
{
  return IntToText(static_cast<std::int64_t>(bytes >> 20));
}

} // namespace

std::int32_t ServerPagesFor(TextView value)
{
  return ServerCachePages(ServerReadsSetting("k = " + ToUtf8(value), "k").value);
}

void CheckCacheFitsMemory(TextView value, std::uint64_t memoryBytes)
{
  const auto pages = static_cast<std::uint64_t>(ServerPagesFor(value));
  const std::uint64_t largest = memoryBytes / kSmallestPageBytes;
  if (pages <= largest) return;
  const std::uint64_t needed = pages * kSmallestPageBytes;
  throw Exception(u"The cache pages value \"" + ShownValue(value) + u"\" needs " + Megabytes(needed) +
                  u" MB of memory at 4096-byte pages, more than the " + Megabytes(memoryBytes) +
                  u" MB this machine has; the largest count it can hold is " +
                  IntToText(static_cast<std::int64_t>(largest)) + u". Nothing was changed.");
}

void CheckPageCountArgument(TextView value)
{
  constexpr std::int64_t kMaxCount = std::numeric_limits<std::int32_t>::max();
  const std::size_t first = value.find_first_not_of(u' ');
  const std::size_t last = value.find_last_not_of(u' ');
  const TextView digits = first == TextView::npos ? TextView() : value.substr(first, last - first + 1);
  std::int64_t count = digits.empty() ? -1 : 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9' || count > kMaxCount) {
      count = -1;
      break;
    }
    count = count * 10 + (c - u'0');
  }
  if (count >= 1 && count <= kMaxCount) return;
  throw Exception(u"The cache pages value \"" + ShownValue(value) +
                  u"\" is not a page count: give a whole number from 1 to 2147483647 in decimal digits only "
                  u"(blanks before and after it are allowed; no sign, no hexadecimal, no suffix). Nothing was "
                  u"changed.");
}

void CheckCachePagesValue(TextView value)
{
  if (value.find_first_of(TextView(u"\r\n\0", 3)) != TextView::npos)
    throw Exception(u"The cache pages value must not contain line breaks or NUL characters; nothing was changed.");
}

} // namespace fbu
