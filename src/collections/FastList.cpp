#include "collections/FastList.h"

namespace fbu {

int TFastList::AddIfNotHas(TPointer item)
{
  const int index = IndexOf(item);
  return index >= 0 ? index : Add(item);
}

void TFastList::SetCountExact(int n)
{
  // Refused before the capacity is touched, so a bad count leaves the list as it was.
  if (n < 0) Error(kListCountError, n);
  const int old = Count();
  if (n > Capacity()) SetCapacity(n);
  SetCount(n);
  // SetCount already zero-fills what it appends; kept explicit because the zero entries
  // are what the owners of this list rely on.
  TPointer* items = List();
  for (int i = old; i < n; ++i) items[i] = 0;
  assert(Count() == n && Capacity() >= n);
}

} // namespace fbu
