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

// The folder of a service's binary path: the text before its last '\' or ':' (neither
// kept; empty when there is none), then without any double quote. The path is cut as a
// whole, switches included, so a separator inside a switch moves the cut into it.
Text ServiceBinaryPathFolder(TextView binaryPath);

// Appends the folder, trimmed of characters up to U+0020, unless that leaves it empty or
// the list already holds it without regard to case. Returns whether it was appended.
bool AddDistinctFolder(TStringList& folders, TextView folder);

} // namespace fbu
