#pragma once
// TIntList's pairwise operations as their plain algorithms describe them, one value at
// a time through IndexOf, Add, Delete and Remove: quadratic on purpose. The fast
// operations must agree with them exactly (tests, fuzz/fuzz_intlist_pairwise.cpp), and
// bench/intlist_bench.cpp measures how far ahead the fast ones are. Below them, small
// helpers of the list tests.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "collections/PureQuarnClasses.h"

namespace fbu::model {

inline void Intersect(TIntList& self, const TIntList& l)
{
  for (int i = self.Count() - 1; i >= 0; --i)
    if (l.IndexOf(self[i]) < 0) self.Delete(i);
}

inline int IntersectCount(const TIntList& self, const TIntList& l)
{
  int n = 0;
  for (int i = 0; i < self.Count(); ++i) n += l.IndexOf(self[i]) >= 0;
  return n;
}

inline void Union(TIntList& self, const TIntList& l)
{
  for (int i = 0; i < l.Count(); ++i)
    if (self.IndexOf(l[i]) < 0) self.Add(l[i]);
}

inline int UnionCount(const TIntList& self, const TIntList& l)
{
  int n = self.Count();
  for (int i = 0; i < l.Count(); ++i) n += self.IndexOf(l[i]) < 0;
  return n;
}

inline bool Remove(TIntList& self, const TIntList& other)
{
  bool removed = false;
  for (int i = 0; i < other.Count(); ++i) removed |= self.Remove(other[i]) >= 0;
  return removed;
}

inline void Unique(TIntList& self)
{
  for (int i = self.Count() - 1; i > 0; --i)
    for (int j = 0; j < i; ++j)
      if (self[j] == self[i]) {
        self.Delete(i);
        break;
      }
}

inline int UniqueCount(const TIntList& self)
{
  TIntList seen = TIntList::CreateSortedUnique();
  int n = 0;
  for (int i = 0; i < self.Count(); ++i)
    if (seen.IndexOf(self[i]) < 0) {
      seen.Add(self[i]);
      ++n;
    }
  return n;
}

} // namespace fbu::model

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

// Runs action; its result, or the text of the error it raises.
inline std::string Outcome(const std::function<std::int64_t()>& action)
{
  try {
    return std::to_string(action());
  } catch (const Exception& e) {
    return e.what();
  }
}

} // namespace fbu::test
