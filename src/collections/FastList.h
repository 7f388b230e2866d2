#pragma once
// TFastList: the pointer list with three additions for owners that manage their own
// entries.
//
//   AddIfNotHas   O(Count) linear scan (no hashing, no order); appends when absent.
//   DeleteNoCheck the list's own Delete: O(Count - Index); an index outside
//                 0..Count-1 still raises "List index out of bounds (%d)".
//   SetCountExact exactly N entries; new ones are 0; capacity grows to exactly N (one
//                 allocation, no spare room) and is never reduced. A negative N raises
//                 "List count out of bounds (%d)" and changes nothing.
//
// No notification is overridden: removing entries releases nothing.

#include "base/List.h"

namespace fbu {

class TFastList : public TList {
public:
  // The index of the first entry equal to item; when none is, item is appended and its
  // new index (the former count) returned.
  int AddIfNotHas(TPointer item);
  void DeleteNoCheck(int index) { Delete(index); }
  void SetCountExact(int n);
};

} // namespace fbu
