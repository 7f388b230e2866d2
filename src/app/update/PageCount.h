#pragma once
// Which page counts an update accepts, the same for the command line and the dialog.

#include <cstdint>

#include "base/Text.h"

namespace fbu {

// Raises Exception when the page count holds CR, LF or NUL: such a value would split
// the key line and inject other settings into every configuration file.
void CheckCachePagesValue(TextView value);

// Raises Exception, naming the rule, unless the value is a page count: decimal digits,
// blanks around them allowed, from 1 to 2147483647. The value is still written exactly
// as given. The same rule holds for the command line and the dialog.
void CheckPageCountArgument(TextView value);

// The cache pages the server uses with value written as its setting.
std::int32_t ServerPagesFor(TextView value);

// The smallest page size the server creates databases with.
inline constexpr std::uint64_t kSmallestPageBytes = 4096;

// Raises Exception when the cache the server would allocate for value (the pages it makes
// of the setting, at kSmallestPageBytes a page) is larger than memoryBytes, giving the
// largest count that fits: the server allocates the whole cache when a database is
// attached, so such a count makes every attachment fail.
void CheckCacheFitsMemory(TextView value, std::uint64_t memoryBytes);

#ifdef _WIN32
// This machine's physical memory in bytes.
std::uint64_t PhysicalMemoryBytes();
#endif

} // namespace fbu
