#pragma once
// The database layer's client-error routine, as far as the loader uses it: the message
// of a client error code, formatted with its arguments, raised as EIBClientError with
// that code as SQLCode.

#include <initializer_list>

#include "base/Exceptions.h"

namespace fbu {

enum IBClientErrorCode : int {
  ibxeLibraryNotFound = 1,      // "InterBase library %s not found in the path. ..."
  ibxeInterBase6Function = 3,   // "%s is an InterBase 6 function. ..."
  ibxeInvalidLibraryType = 123, // "Invalid library type assigned.  Valid strings are %s"
};

// The message template of a code; empty for a code the loader does not use.
TextView IBErrorMessage(int code) noexcept;

[[noreturn]] void IBError(int code, std::initializer_list<FormatArg> args);

} // namespace fbu
