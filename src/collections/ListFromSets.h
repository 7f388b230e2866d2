#pragma once
// TListFromSets: an ordered list of TLSet that owns its sets (an owning TObjectList):
// a set that is deleted, dropped by SetSize or still held when the list is destroyed is
// released, exactly once.
//
// Entries are meant to be TLSet; the list's base operations could also put another
// object or an empty (nil) entry there. GetLSet refuses the former with EInvalidCast and
// hands the latter back as nullptr; the operations over all sets pass nil entries over.
//
// Costs: GetLSet O(1); SetSize O(|change|) plus the resets; SortByCount counts each set
// once, O(n log n) comparisons; MakeUnique O(n^2) Equal calls; Has/FirstThatHas/ClearThis
// O(n); UnionTo O(n) UNIONs.

#include <memory>

#include "base/ObjectList.h"
#include "collections/LargeSets.h"

namespace fbu {

class TListFromSets : public TObjectList {
public:
  TListFromSets() = default;
  // count new empty sets.
  explicit TListFromSets(int count) { SetSize(count, false); }

  // The set at index (nullptr for a nil entry); "List index out of bounds (%d)" outside
  // 0..Count-1, EInvalidCast for an entry that is not a TLSet.
  TLSet* GetLSet(int index) const;
  TLSet* LSet(int index) const { return GetLSet(index); }

  // Reset of every set, index 0 upward.
  void ResetAll();
  // SetSize(other's count, false), then set i becomes a copy of other's set i.
  void Assign(const TListFromSets& other);
  // Exactly newSize sets: with resetExist, the sets kept are emptied first (highest index
  // down); sets above newSize are released; new indexes get new empty sets. A negative
  // newSize raises "List index out of bounds (%d)" before anything changes.
  void SetSize(int newSize, bool resetExist);
  // Ascending MembersCount; the order of sets with equal counts is not defined.
  void SortByCount();
  // Removes (and releases) every set equal to an earlier one; the rest keep their order.
  void MakeUnique();
  void ClearThis(std::int32_t member);
  bool Has(std::int32_t member) const;
  // The lowest index whose set has member, -1 when none has.
  int FirstThatHas(std::int32_t member) const;
  // aSet receives the union of all the sets.
  void UnionTo(TLSet& aSet) const;

  // Appends aSet itself; the list owns it from now on. Returns its index.
  int Add(std::unique_ptr<TLSet> aSet);
  // Appends a new copy of aSet, which stays the caller's. Returns its index.
  int Add(const TLSet& aSet);
};

} // namespace fbu
