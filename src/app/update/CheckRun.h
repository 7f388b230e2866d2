#pragma once
// The check run: what an update would do, changing nothing.

#include <vector>

#include "base/Text.h"

#ifdef _WIN32
#include "app/update/CallerOutput.h"

namespace fbu {

// The check run for "/check COUNT": no service, no file written, no window. Writes a line
// per file and its outcome to output; returns its exit code.
int RunCheck(const std::vector<Text>& arguments, CallerOutput& output);

} // namespace fbu
#endif
