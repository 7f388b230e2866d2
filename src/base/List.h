#pragma once
// TList: an ordered list of pointer-sized slots with explicit count and capacity.
//
// Invariants: 0 <= Count <= Capacity; slots at Count..Capacity-1 are not part of the
// list. Costs: Add amortised O(1); Insert/Delete O(Count - Index); IndexOf/Remove O(Count);
// Sort O(n log n) expected (quick sort, not stable).
// Growth when full: by 4 below 9 entries, by 16 from 9 to 64, by a quarter above 64.
//
// A slot is a pointer-sized integer, so the same list holds 32-bit integers (stored
// sign-extended, read back exactly) or object addresses in both the 32- and the 64-bit
// build. Virtual operations, in the order they were designed: Grow, Notify, Clear, Error.

#include <cassert>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

#include "base/Exceptions.h"

namespace fbu {

using TPointer = std::intptr_t;

// Negative, zero or positive, like a - b.
using TListSortCompare = int (*)(TPointer item1, TPointer item2);

enum class TListNotification { lnAdded, lnExtracted, lnDeleted };

enum TDuplicates : std::uint8_t { dupIgnore = 0, dupAccept = 1, dupError = 2 };

inline constexpr char16_t kListIndexError[] = u"List index out of bounds (%d)";
inline constexpr char16_t kListCountError[] = u"List count out of bounds (%d)";
inline constexpr char16_t kListCapacityError[] = u"List capacity out of bounds (%d)";

class TList {
public:
  TList() = default;
  TList(const TList&) = delete;
  TList& operator=(const TList&) = delete;
  // Derived lists that react to Notify must call Clear in their own destructor: a base
  // destructor no longer reaches the derived notification.
  virtual ~TList() { ClearSlots(); }

  int Count() const noexcept { return count_; }
  int Capacity() const noexcept { return capacity_; }
  void SetCount(int newCount);
  void SetCapacity(int newCapacity);

  int Add(TPointer item);
  void Insert(int index, TPointer item);
  void Delete(int index);
  TPointer Extract(TPointer item);
  void Exchange(int index1, int index2);
  void Move(int curIndex, int newIndex);
  int IndexOf(TPointer item) const noexcept;
  int Remove(TPointer item);
  TPointer Get(int index) const;
  void Put(int index, TPointer item);
  TPointer operator[](int index) const { return Get(index); }
  TPointer First() const { return Get(0); }
  // An empty list reports position 0, not -1.
  TPointer Last() const
  {
    if (count_ == 0) Error(kListIndexError, 0);
    return items_[count_ - 1];
  }
  virtual void Clear();
  void Assign(const TList& source);
  void Sort(TListSortCompare compare);
  void Pack();

  // Direct access to the slots (Count entries), for owners that manage the invariants.
  TPointer* List() noexcept { return items_.get(); }
  const TPointer* List() const noexcept { return items_.get(); }

  // Raises EListError with the message formatted with data.
  [[noreturn]] virtual void Error(TextView message, std::int64_t data) const;

protected:
  virtual void Grow();
  virtual void Notify(TPointer, TListNotification) {}

  void CheckIndex(int index) const
  {
    if (index < 0 || index >= count_) Error(kListIndexError, index);
  }

private:
  void ClearSlots() noexcept
  {
    items_.reset();
    count_ = capacity_ = 0;
  }

  std::unique_ptr<TPointer[]> items_;
  int count_ = 0;
  int capacity_ = 0;
};

// Quick sort over raw slots with the list's comparison. Bounds-guarded, so a comparison
// that is not a consistent order can misorder but never reads outside the range.
void QuickSortSlots(TPointer* items, int left, int right, TListSortCompare compare);

} // namespace fbu
