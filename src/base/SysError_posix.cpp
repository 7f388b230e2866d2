#include <cstring>

#include "base/Exceptions.h"

namespace fbu {

Text SysErrorMessage(std::uint32_t code)
{
  Text text = FromUtf8(std::strerror(static_cast<int>(code)));
  while (!text.empty() && (text.back() <= u' ' || text.back() == u'.')) text.pop_back();
  return text;
}

} // namespace fbu
