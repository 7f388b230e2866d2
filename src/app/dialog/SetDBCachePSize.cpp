#include "app/dialog/SetDBCachePSize.h"

namespace fbu {

Text ChooseCachePagesValue(const Text* firstArgument, TextView comboText)
{
  return firstArgument ? *firstArgument : Text(comboText);
}

} // namespace fbu
