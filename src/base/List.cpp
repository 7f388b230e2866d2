#include "base/List.h"

#include <algorithm>

namespace fbu {

void TList::Error(TextView message, std::int64_t data) const
{
  throw EListError(Format(message, {data}));
}

void TList::Grow()
{
  int delta;
  if (capacity_ > 64)
    delta = capacity_ / 4;
  else if (capacity_ > 8)
    delta = 16;
  else
    delta = 4;
  SetCapacity(capacity_ + delta);
}

void TList::SetCapacity(int newCapacity)
{
  if (newCapacity < count_) Error(kListCapacityError, newCapacity);
  if (newCapacity == capacity_) return;
  std::unique_ptr<TPointer[]> fresh;
  if (newCapacity > 0) {
    // Slots beyond the count are not part of the list; every path writes them before
    // they join it (Add, Insert, SetCount), so they need no zeroing here.
    fresh = std::make_unique_for_overwrite<TPointer[]>(static_cast<std::size_t>(newCapacity));
    if (count_) std::memcpy(fresh.get(), items_.get(), sizeof(TPointer) * static_cast<std::size_t>(count_));
  }
  items_ = std::move(fresh);
  capacity_ = newCapacity;
}

void TList::SetCount(int newCount)
{
  if (newCount < 0) Error(kListCountError, newCount);
  if (newCount > capacity_) SetCapacity(newCount);
  if (newCount > count_) {
    std::fill(items_.get() + count_, items_.get() + newCount, TPointer{0});
    count_ = newCount;
  } else {
    // Dropped entries are deleted one by one from the end, so owners hear of each.
    for (int i = count_ - 1; i >= newCount; --i) Delete(i);
  }
}

int TList::Add(TPointer item)
{
  const int result = count_;
  if (result == capacity_) Grow();
  items_[result] = item;
  ++count_;
  if (item) Notify(item, TListNotification::lnAdded);
  return result;
}

void TList::Insert(int index, TPointer item)
{
  if (index < 0 || index > count_) Error(kListIndexError, index);
  if (count_ == capacity_) Grow();
  if (index < count_) std::memmove(items_.get() + index + 1, items_.get() + index, sizeof(TPointer) * (count_ - index));
  items_[index] = item;
  ++count_;
  if (item) Notify(item, TListNotification::lnAdded);
}

void TList::Delete(int index)
{
  CheckIndex(index);
  const TPointer old = items_[index];
  --count_;
  if (index < count_) std::memmove(items_.get() + index, items_.get() + index + 1, sizeof(TPointer) * (count_ - index));
  if (old) Notify(old, TListNotification::lnDeleted);
}

TPointer TList::Extract(TPointer item)
{
  const int index = IndexOf(item);
  if (index < 0) return 0;
  const TPointer result = items_[index];
  --count_;
  if (index < count_) std::memmove(items_.get() + index, items_.get() + index + 1, sizeof(TPointer) * (count_ - index));
  if (result) Notify(result, TListNotification::lnExtracted);
  return result;
}

void TList::Exchange(int index1, int index2)
{
  CheckIndex(index1);
  CheckIndex(index2);
  std::swap(items_[index1], items_[index2]);
}

void TList::Move(int curIndex, int newIndex)
{
  if (curIndex == newIndex) return;
  CheckIndex(newIndex);
  CheckIndex(curIndex);
  const TPointer item = items_[curIndex];
  if (curIndex < newIndex)
    std::memmove(items_.get() + curIndex, items_.get() + curIndex + 1, sizeof(TPointer) * (newIndex - curIndex));
  else
    std::memmove(items_.get() + newIndex + 1, items_.get() + newIndex, sizeof(TPointer) * (curIndex - newIndex));
  items_[newIndex] = item;
}

int TList::IndexOf(TPointer item) const noexcept
{
  for (int i = 0; i < count_; ++i)
    if (items_[i] == item) return i;
  return -1;
}

int TList::Remove(TPointer item)
{
  const int index = IndexOf(item);
  if (index >= 0) Delete(index);
  return index;
}

TPointer TList::Get(int index) const
{
  CheckIndex(index);
  return items_[index];
}

void TList::Put(int index, TPointer item)
{
  CheckIndex(index);
  const TPointer old = items_[index];
  if (old == item) return;
  items_[index] = item;
  if (old) Notify(old, TListNotification::lnDeleted);
  if (item) Notify(item, TListNotification::lnAdded);
}

void TList::Clear()
{
  SetCount(0);
  SetCapacity(0);
}

void TList::Assign(const TList& source)
{
  if (&source == this) return;
  Clear();
  SetCapacity(source.capacity_);
  for (int i = 0; i < source.count_; ++i) Add(source.items_[i]);
}

void TList::Pack()
{
  for (int i = count_ - 1; i >= 0; --i)
    if (items_[i] == 0) Delete(i);
}

void TList::Sort(TListSortCompare compare)
{
  if (count_ > 1) QuickSortSlots(items_.get(), 0, count_ - 1, compare);
}

void QuickSortSlots(TPointer* items, int left, int right, TListSortCompare compare)
{
  while (left < right) {
    int i = left;
    int j = right;
    const TPointer pivot = items[left + (right - left) / 2];
    do {
      while (i < right && compare(items[i], pivot) < 0) ++i;
      while (j > left && compare(items[j], pivot) > 0) --j;
      if (i <= j) {
        std::swap(items[i], items[j]);
        ++i;
        --j;
      }
    } while (i <= j);
    // Recurse into the smaller part and loop over the larger one: stack depth stays
    // logarithmic whatever the data.
    if (j - left < right - i) {
      if (left < j) QuickSortSlots(items, left, j, compare);
      left = i;
    } else {
      if (i < right) QuickSortSlots(items, i, right, compare);
      right = j;
    }
  }
}

} // namespace fbu
