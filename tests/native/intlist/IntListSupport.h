#pragma once
// Small helpers shared by the integer list tests.

#include <cstdint>
#include <vector>

#include "collections/PureQuarnClasses.h"

namespace fbu::test {

using Values = std::vector<std::int32_t>;

inline Values ValuesOf(const TIntList& list)
{
  Values v;
  for (int i = 0; i < list.Count(); ++i) v.push_back(list[i]);
  return v;
}

// The list holds values in their order (a sorted list: ascending), keeping its mode.
inline void Fill(TIntList& list, const Values& values)
{
  const bool sorted = list.Sorted();
  list.Clear();
  list.SetSorted(false);
  for (const std::int32_t v : values) list.Add(v);
  list.SetSorted(sorted);
}

} // namespace fbu::test
