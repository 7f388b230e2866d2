#include "dbclient/IBError.h"

namespace fbu {

TextView ClientErrorMessage(ClientError code) noexcept
{
  switch (code) {
  case ClientError::LibraryNotFound:
    return u"InterBase library %s not found in the path. Please install InterBase to use this functionality";
  case ClientError::NeedsVersion6:
    return u"%s is an InterBase 6 function. Please upgrade to InterBase 6 to use this functonality";
  case ClientError::InvalidLibraryType: return u"Invalid library type assigned.  Valid strings are %s";
  }
  return {};
}

void RaiseClientError(ClientError code, std::initializer_list<FormatArg> args)
{
  throw EIBClientError(static_cast<int>(code), Format(ClientErrorMessage(code), args));
}

} // namespace fbu
