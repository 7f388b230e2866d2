#include "app/update/PageCount.h"

#include <cstdint>
#include <limits>

#include "app/configfiles/ServerReading.h"
#include "base/Exceptions.h"

namespace fbu {

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
