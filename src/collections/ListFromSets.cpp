#include "collections/ListFromSets.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace fbu {

TLSet* TListFromSets::GetLSet(int index) const
{
  TObject* object = FromSlot(Get(index));
  if (!object) return nullptr;
  auto* set = dynamic_cast<TLSet*>(object);
  if (!set) throw EInvalidCast();
  return set;
}

void TListFromSets::ResetAll()
{
  for (int i = 0; i < Count(); ++i)
    if (TLSet* set = GetLSet(i)) set->Reset();
}

void TListFromSets::Assign(const TListFromSets& other)
{
  if (&other == this) return;
  SetSize(other.Count(), false);
  for (int i = 0; i < Count(); ++i)
    if (TLSet* set = GetLSet(i)) set->Assign(other.GetLSet(i));
}

void TListFromSets::SetSize(int newSize, bool resetExist)
{
  if (newSize < 0) Error(kListIndexError, newSize);
  if (resetExist)
    for (int i = std::min(newSize, Count()) - 1; i >= 0; --i)
      if (TLSet* set = GetLSet(i)) set->Reset();
  const int old = Count();
  // Shrinking deletes each dropped entry once, and the owning list releases its set.
  SetCount(newSize);
  for (int i = old; i < newSize; ++i) {
    auto set = std::make_unique<TLSet>();
    Put(i, ToSlot(set.get()));
    set.release();
  }
}

void TListFromSets::SortByCount()
{
  // Each set is counted once instead of at every comparison; ties keep their order,
  // which the unstable order allows.
  std::vector<std::pair<std::int32_t, TPointer>> keyed;
  keyed.reserve(static_cast<std::size_t>(Count()));
  for (int i = 0; i < Count(); ++i) {
    const TLSet* set = GetLSet(i);
    keyed.emplace_back(set ? set->MembersCount() : 0, List()[i]);
  }
  std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (int i = 0; i < Count(); ++i) List()[i] = keyed[static_cast<std::size_t>(i)].second;
}

void TListFromSets::MakeUnique()
{
  for (int a = Count() - 1; a >= 1; --a) {
    const TLSet* current = GetLSet(a);
    for (int b = a - 1; b >= 0; --b) {
      const TLSet* earlier = GetLSet(b);
      const bool same = current && earlier ? current->Equal(*earlier) : current == earlier;
      if (same) {
        Delete(a);
        break;
      }
    }
  }
}

void TListFromSets::ClearThis(std::int32_t member)
{
  for (int i = 0; i < Count(); ++i)
    if (TLSet* set = GetLSet(i)) set->ClearThis(member);
}

bool TListFromSets::Has(std::int32_t member) const
{
  return FirstThatHas(member) >= 0;
}

int TListFromSets::FirstThatHas(std::int32_t member) const
{
  for (int i = 0; i < Count(); ++i) {
    const TLSet* set = GetLSet(i);
    if (set && set->Has(member)) return i;
  }
  return -1;
}

void TListFromSets::UnionTo(TLSet& aSet) const
{
  for (int i = 0; i < Count(); ++i)
    if (const TLSet* set = GetLSet(i)) aSet.UNION(*set);
}

int TListFromSets::Add(std::unique_ptr<TLSet> aSet)
{
  // The slot is taken before ownership passes, so a failed growth leaves the set with
  // the caller's pointer, which releases it.
  const int index = AddObject(aSet.get());
  aSet.release();
  return index;
}

int TListFromSets::Add(const TLSet& aSet)
{
  auto copy = std::make_unique<TLSet>();
  copy->Assign(aSet);
  return Add(std::move(copy));
}

} // namespace fbu
