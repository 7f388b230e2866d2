#include "dbclient/IBError.h"

namespace fbu {

TextView IBErrorMessage(int code) noexcept
{
  switch (code) {
  case ibxeLibraryNotFound:
    return u"InterBase library %s not found in the path. Please install InterBase to use this functionality";
  case ibxeInterBase6Function:
    return u"%s is an InterBase 6 function. Please upgrade to InterBase 6 to use this functonality";
  case ibxeInvalidLibraryType: return u"Invalid library type assigned.  Valid strings are %s";
  default: return {};
  }
}

void IBError(int code, std::initializer_list<FormatArg> args)
{
  throw EIBClientError(code, Format(IBErrorMessage(code), args));
}

} // namespace fbu
