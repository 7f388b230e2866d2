#pragma once
// The portable half of the service queries: matching service names against a pattern,
// reducing a service's binary path to its folder and collecting distinct folders. The
// Win32 half (ServiceQueries_win.cpp) only talks to the service control manager.

#include <functional>

#include "base/StringList.h"
#include "base/Text.h"

namespace fbu {

// Whether a service name matches the pattern: the whole name equal to it (exactMatch)
// or holding it somewhere. Only a-z are folded to A-Z on both sides; every other
// character, accented letters included, compares as it is.
bool ServiceNameMatches(TextView name, TextView pattern, bool exactMatch);

// Deletes, from the last entry to the first, every name that does not match.
void KeepMatchingServiceNames(TStringList& names, TextView pattern, bool exactMatch);

// The body of FindServices over any enumeration: false, list untouched, when no list is
// given or the pattern is blank (trimmed of characters up to U+0020); false when the
// enumeration fails; otherwise the list keeps the matching names and the answer is true,
// also when none is left. The pattern itself is compared untrimmed.
bool FindServicesIn(TStringList* list, TextView pattern, bool exactMatch,
                    const std::function<bool(TStringList*)>& enumerate);

// The executable a service's binary path (the command line the service manager keeps)
// starts: within double quotes when it opens with one (up to the closing quote, or the
// end); else, as the manager reads an unquoted path that holds blanks, the shortest run of
// its words that ends in ".exe" (any case), or the whole text when none does. Trimmed of
// characters up to U+0020. The one reading of "where does this service run from".
Text ServiceExecutablePath(TextView binaryPath);

// The folder of a service's executable (ServiceExecutablePath): the text before its last
// '\', '/' or ':' (none kept; empty when there is none), without any double quote.
// Switches after the executable never move the cut.
Text ServiceBinaryPathFolder(TextView binaryPath);

// Appends the folder, trimmed of characters up to U+0020, unless that leaves it empty or
// the list already holds it without regard to case. Returns whether it was appended.
bool AddDistinctFolder(TStringList& folders, TextView folder);

} // namespace fbu
