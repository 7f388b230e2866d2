#pragma once
// The database layer's client-error routine, as far as the loader uses it: the message
// of a client error code, formatted with its arguments, raised as EIBClientError with
// that code as SQLCode.

#include <initializer_list>

#include "base/Exceptions.h"

namespace fbu {

// The codes keep the database layer's numbers: they reach callers as SQLCode.
enum class ClientError : int {
  LibraryNotFound = 1,      // "InterBase library %s not found in the path. ..."
  NeedsVersion6 = 3,        // "%s is an InterBase 6 function. ..."
  InvalidLibraryType = 123, // "Invalid library type assigned.  Valid strings are %s"
};

// The message template of a code; empty for a code the loader does not use.
TextView ClientErrorMessage(ClientError code) noexcept;

[[noreturn]] void RaiseClientError(ClientError code, std::initializer_list<FormatArg> args);

} // namespace fbu
