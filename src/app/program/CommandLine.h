#pragma once
// How the program reads its command line.

#include <vector>

#include "base/Text.h"

namespace fbu {

// The words of a command line, the program's name first: words are separated by blanks
// and control characters (anything up to U+0020); a double-quoted stretch may hold them
// and loses its quotes, so "" is an empty word.
std::vector<Text> SplitCommandLine(TextView commandLine);

// True for "REGSERVER", "UNREGSERVER", "REGSERVERPERUSER" and "UNREGSERVERPERUSER"
// introduced by "/" or "-", in any case.
bool IsRegistrationSwitch(TextView argument);
// True when any of the arguments (the program name excluded) is such a switch.
bool HasRegistrationSwitch(const std::vector<Text>& arguments);

// True for "/check" and "-check", in any case.
bool IsCheckSwitch(TextView argument);

} // namespace fbu
