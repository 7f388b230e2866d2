#include "collections/PureQuarnClasses.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <chrono>
#include <cstring>
#include <random>
#include <stdexcept>
#include <vector>

#include "base/IntSyntax.h"
#include "collections/IntListKernels.h"
#include "collections/LargeSets.h"

namespace fbu {

// The record is little-endian; every target of this program is.
static_assert(std::endian::native == std::endian::little);

namespace {

using intlist_kernels::BitMarks;
using intlist_kernels::ValueIndex;

// Values per chunk when the stream forms convert between slots and record bytes.
constexpr int kChunkValues = 2048;

std::int32_t ReadInt32(const std::uint8_t* p) noexcept
{
  std::int32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Record values (little-endian 32-bit, any alignment) to and from slots; loops the
// compiler turns into vector code.
void LoadValues(const std::uint8_t* from, TPointer* to, int n) noexcept
{
  for (int i = 0; i < n; ++i) to[i] = static_cast<TPointer>(ReadInt32(from + 4 * static_cast<std::size_t>(i)));
}

void StoreValues(const TPointer* from, std::uint8_t* to, int n) noexcept
{
  for (int i = 0; i < n; ++i) {
    const auto v = static_cast<std::int32_t>(from[i]);
    std::memcpy(to + 4 * static_cast<std::size_t>(i), &v, sizeof v);
  }
}

Text gStartupText;

} // namespace

TIntList::TIntList(int InitCapacyty)
{
  SetCapacity(InitCapacyty);
}

TIntList TIntList::CreateRandom(std::int32_t iMin, std::int32_t iMax)
{
  return TIntList(RandomFill{}, iMin, iMax);
}

TIntList TIntList::CreateSorted()
{
  return TIntList(true, dupAccept);
}

TIntList TIntList::CreateSortedUnique()
{
  return TIntList(true, dupIgnore);
}

void TIntList::SetSorted(bool value)
{
  if (value == FSorted) return;
  if (value) SortIncreasing();
  FSorted = value;
}

void TIntList::Put(int Index, std::int32_t Value)
{
  if (FSorted) SortedError();
  TList::Put(Index, SlotOf(Value));
}

bool TIntList::Find(std::int32_t Value, int& Index) const noexcept
{
  if (!FSorted) {
    Index = TList::IndexOf(SlotOf(Value));
    return Index >= 0;
  }
  const TPointer* items = List();
  int low = 0;
  int high = Count() - 1;
  bool found = false;
  while (low <= high) {
    const int probe = low + (high - low) / 2;
    const std::int32_t v = ValueOf(items[probe]);
    if (v < Value) {
      low = probe + 1;
    } else {
      high = probe - 1;
      if (v == Value) {
        found = true;
        if (FDuplicates != dupAccept) low = probe;
      }
    }
  }
  Index = low;
  return found;
}

int TIntList::IndexOf(std::int32_t Value) const noexcept
{
  if (!FSorted) return TList::IndexOf(SlotOf(Value));
  int index;
  return Find(Value, index) ? index : -1;
}

bool TIntList::EqualTo(const TIntList& OtherList) const noexcept
{
  if (Count() != OtherList.Count()) return false;
  const TPointer* a = List();
  const TPointer* b = OtherList.List();
  for (int i = 0; i < Count(); ++i)
    if (ValueOf(a[i]) != ValueOf(b[i])) return false;
  return true;
}

int TIntList::Add(std::int32_t Item)
{
  if (!FSorted) return TList::Add(SlotOf(Item));
  int position;
  if (Find(Item, position)) {
    if (FDuplicates == dupIgnore) return position;
    if (FDuplicates == dupError) throw EListError(kIntListDuplicateError);
  }
  TList::Insert(position, SlotOf(Item));
  return position;
}

void TIntList::AddRange(std::int32_t minI, std::int32_t maxI)
{
  for (std::int64_t v = minI; v <= maxI; ++v) Add(static_cast<std::int32_t>(v));
}

int TIntList::Add(const TIntList& Other)
{
  const int count = Other.Count();
  if (&Other == this) {
    // A sorted list inserting its own values would move the ones still to read.
    const std::vector<TPointer> values(List(), List() + count);
    for (const TPointer v : values) Add(ValueOf(v));
  } else {
    for (int i = 0; i < count; ++i) Add(Other.Get(i));
  }
  return count;
}

int TIntList::AddUnique(std::int32_t Item)
{
  int position;
  if (Find(Item, position)) return position;
  return Add(Item);
}

void TIntList::Insert(int Index, std::int32_t Value)
{
  if (FSorted) SortedError();
  if (Index < 0 || Index > Count()) throw EListError(Format(kIntListIndexError, {std::int64_t{Index}}));
  TList::Insert(Index, SlotOf(Value));
}

void TIntList::Delete(int index)
{
  if (index < Count()) TList::Delete(index);
}

template <class Keep> void TIntList::KeepOnly(Keep keep)
{
  // One pass that closes the gaps, instead of a delete (and a move of every later
  // value) per dropped value.
  TPointer* items = List();
  const int count = Count();
  int kept = 0;
  for (int i = 0; i < count; ++i)
    if (keep(ValueOf(items[i]))) items[kept++] = items[i];
  SetCount(kept);
}

bool TIntList::Remove(const TIntList& Other)
{
  // Each value of Other removes the lowest occurrence still present: per distinct
  // value, as many of its first occurrences as Other holds copies.
  const ValueIndex index(Other.List(), Other.Count());
  std::vector<std::int32_t> budget(static_cast<std::size_t>(index.Slots()), 0);
  const TPointer* others = Other.List();
  for (int i = 0; i < Other.Count(); ++i) ++budget[static_cast<std::size_t>(index.Slot(ValueOf(others[i])))];
  const int before = Count();
  KeepOnly([&](std::int32_t v) {
    const std::int64_t slot = index.Slot(v);
    if (slot < 0 || budget[static_cast<std::size_t>(slot)] == 0) return true;
    --budget[static_cast<std::size_t>(slot)];
    return false;
  });
  return Count() < before;
}

void TIntList::RemoveSet(const TLSet& L)
{
  KeepOnly([&](std::int32_t v) { return !L.Has(v); });
}

void TIntList::SortIncreasing()
{
  std::sort(List(), List() + Count(), [](TPointer a, TPointer b) { return ValueOf(a) < ValueOf(b); });
}

void TIntList::SortDescending()
{
  if (FSorted) return;
  std::sort(List(), List() + Count(), [](TPointer a, TPointer b) { return ValueOf(b) < ValueOf(a); });
}

void TIntList::Sort(TListSortCompare Compare)
{
  if (!FSorted) TList::Sort(Compare);
}

void TIntList::IncrementAll(std::int32_t ByValue)
{
  if (ByValue == 0 || Count() == 0) return;
  if (FSorted) SortedError();
  TPointer* items = List();
  for (int i = 0; i < Count(); ++i)
    items[i] = SlotOf(
        static_cast<std::int32_t>(static_cast<std::uint32_t>(ValueOf(items[i])) + static_cast<std::uint32_t>(ByValue)));
}

void TIntList::ReduceIndex(std::int32_t n)
{
  TPointer* items = List();
  for (int i = 0; i < Count(); ++i) {
    const std::int32_t v = ValueOf(items[i]);
    if (v <= n) continue;
    if (FSorted) SortedError();
    items[i] = SlotOf(v - 1);
  }
}

void TIntList::IncreaseIndex(std::int32_t n)
{
  TPointer* items = List();
  for (int i = 0; i < Count(); ++i) {
    const std::int32_t v = ValueOf(items[i]);
    if (v < n) continue;
    if (FSorted) SortedError();
    items[i] = SlotOf(static_cast<std::int32_t>(static_cast<std::uint32_t>(v) + 1U));
  }
}

void TIntList::FillRandom(std::int32_t iMin, std::int32_t iMax)
{
  const std::int64_t range = static_cast<std::int64_t>(iMax) - iMin + 1;
  if (range > kMaxRandomRange)
    throw EListError(
        Format(u"Random fill range of %d values is above the limit of %d values", {range, kMaxRandomRange}));
  Clear();
  if (range <= 0) return;
  // Every value once; a sorted list holds them ascending whatever order they came in.
  const int count = static_cast<int>(range);
  SetCount(count);
  TPointer* items = List();
  for (int i = 0; i < count; ++i) items[i] = SlotOf(static_cast<std::int32_t>(iMin + i));
  if (FSorted) return;
  // Drawing a random value from the pool until it is empty is a uniform permutation,
  // which a Fisher-Yates shuffle produces in place in linear time.
  std::random_device device;
  std::seed_seq seed{device(), static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count())};
  std::mt19937 generator(seed);
  for (int i = count - 1; i > 0; --i) {
    std::uniform_int_distribution<int> draw(0, i);
    std::swap(items[i], items[draw(generator)]);
  }
}

void TIntList::Unique()
{
  const ValueIndex index(List(), Count());
  BitMarks seen(index.Slots());
  KeepOnly([&](std::int32_t v) { return seen.TestAndSet(index.Slot(v)); });
}

int TIntList::UniqueCount() const
{
  return static_cast<int>(ValueIndex(List(), Count()).Distinct());
}

void TIntList::Intersect(const TIntList& L)
{
  const ValueIndex index(L.List(), L.Count());
  KeepOnly([&](std::int32_t v) { return index.Slot(v) >= 0; });
}

int TIntList::IntersectCount(const TIntList& L) const
{
  const ValueIndex index(L.List(), L.Count());
  const TPointer* items = List();
  int n = 0;
  for (int i = 0; i < Count(); ++i) n += index.Slot(ValueOf(items[i])) >= 0;
  return n;
}

void TIntList::Union(const TIntList& L)
{
  const ValueIndex index(L.List(), L.Count());
  BitMarks held(index.Slots());
  const TPointer* items = List();
  for (int i = 0; i < Count(); ++i) {
    const std::int64_t slot = index.Slot(ValueOf(items[i]));
    if (slot >= 0) held.Set(slot);
  }
  std::vector<std::int32_t> fresh;
  const TPointer* others = L.List();
  for (int i = 0; i < L.Count(); ++i) {
    const std::int32_t v = ValueOf(others[i]);
    if (held.TestAndSet(index.Slot(v))) fresh.push_back(v);
  }
  if (!FSorted) {
    for (const std::int32_t v : fresh) TList::Add(SlotOf(v));
    return;
  }
  // Each new value is absent from the list and from the other new values, so Add would
  // insert it after exactly the smaller values: a merge from the back does the same.
  std::sort(fresh.begin(), fresh.end());
  int from = Count() - 1;
  int to = Count() + static_cast<int>(fresh.size()) - 1;
  SetCount(to + 1);
  TPointer* out = List();
  for (auto it = fresh.rbegin(); it != fresh.rend();) {
    if (from >= 0 && ValueOf(out[from]) > *it)
      out[to--] = out[from--];
    else
      out[to--] = SlotOf(*it++);
  }
}

int TIntList::UnionCount(const TIntList& L) const
{
  const ValueIndex index(List(), Count());
  const TPointer* others = L.List();
  int n = Count();
  for (int i = 0; i < L.Count(); ++i) n += index.Slot(ValueOf(others[i])) < 0;
  return n;
}

std::int32_t TIntList::Sum() const noexcept
{
  std::uint32_t sum = 0;
  const TPointer* items = List();
  for (int i = 0; i < Count(); ++i) sum += static_cast<std::uint32_t>(ValueOf(items[i]));
  return static_cast<std::int32_t>(sum);
}

bool TIntList::GetMin(std::int32_t& M) const noexcept
{
  if (Count() == 0) return false;
  std::int32_t m = ValueOf(List()[0]);
  for (int i = 1; i < Count(); ++i) m = std::min(m, ValueOf(List()[i]));
  M = m;
  return true;
}

bool TIntList::GetMax(std::int32_t& M) const noexcept
{
  if (Count() == 0) return false;
  std::int32_t m = ValueOf(List()[0]);
  for (int i = 1; i < Count(); ++i) m = std::max(m, ValueOf(List()[i]));
  M = m;
  return true;
}

void TIntList::Assign(const TList* IList)
{
  if (IList == this) return;
  if (!IList) {
    Clear();
    return;
  }
  Clear();
  SetCapacity(IList->Capacity());
  SetCount(IList->Count());
  // A plain list may hold anything pointer-sized: each slot keeps its low 32 bits.
  TPointer* items = List();
  for (int i = 0; i < IList->Count(); ++i) items[i] = SlotOf(ValueOf(IList->List()[i]));
  const auto* other = dynamic_cast<const TIntList*>(IList);
  SetSorted(other ? other->FSorted : false);
}

void TIntList::Assign(const TLSet& LSet)
{
  Clear();
  LSet.ExportToIntegerList(*this);
}

Text TIntList::ToLine(TextView Separator) const
{
  const int count = Count();
  if (count == 0) return {};
  // 11 characters hold the longest value, -2147483648. The product can pass what a size
  // holds on a 32-bit machine, so it is checked rather than left to wrap.
  const auto values = static_cast<std::size_t>(count);
  const std::size_t perItem = 11 + Separator.size();
  if (perItem < Separator.size() || perItem > Text().max_size() / values) throw std::length_error("TIntList::ToLine");
  Text line(values * perItem, u'\0');
  char16_t* out = line.data();
  const TPointer* items = List();
  char digits[11];
  for (int i = 0; i < count; ++i) {
    if (i > 0) out = std::copy(Separator.begin(), Separator.end(), out);
    const char* end = std::to_chars(digits, digits + sizeof digits, ValueOf(items[i])).ptr;
    out = std::copy(static_cast<const char*>(digits), end, out);
  }
  line.resize(static_cast<std::size_t>(out - line.data()));
  return line;
}

bool TIntList::FromLine(TextView Separator, TextView Line)
{
  SetFromText(Line, Separator);
  return true;
}

void TIntList::SetFromText(TextView Txt, TextView Separator)
{
  SetCount(0);
  const auto take = [this](TextView token) {
    std::int32_t v;
    if (TryParseInt32(token, v)) Add(v);
  };
  std::size_t start = 0;
  if (!Separator.empty()) {
    for (;;) {
      const std::size_t at = Separator.size() == 1 ? Txt.find(Separator[0], start) : Txt.find(Separator, start);
      if (at == TextView::npos) break;
      take(Txt.substr(start, at - start));
      start = at + Separator.size();
    }
  }
  take(Txt.substr(start));
}

void TIntList::SaveTo(std::uint8_t*& P) const
{
  const std::int32_t count = Count();
  std::memcpy(P, &count, sizeof count);
  StoreValues(List(), P + 4, count);
  P += 4 + 4 * static_cast<std::size_t>(count);
}

void TIntList::StoreRecord(const std::uint8_t* values, std::int32_t n)
{
  SetCount(n);
  if (n > 0 && FSorted) SortedError();
  LoadValues(values, List(), n);
}

void TIntList::LoadFrom(const std::uint8_t*& P)
{
  const std::int32_t n = ReadInt32(P);
  StoreRecord(P + 4, n);
  P += 4 + 4 * static_cast<std::size_t>(n);
}

void TIntList::SaveToStream(TStream& Stream) const
{
  const std::int32_t count = Count();
  const std::int64_t bytes = 4 + 4 * static_cast<std::int64_t>(count);
  if (auto* memory = dynamic_cast<TMemoryStream*>(&Stream); memory && memory->Position() >= 0) {
    // Straight into the stream's own bytes, as its Write would put them.
    const std::int64_t at = memory->Position();
    if (at + bytes > memory->Size()) memory->SetSize(at + bytes);
    std::uint8_t* p = memory->Bytes().data() + at;
    SaveTo(p);
    memory->SetPosition(at + bytes);
    return;
  }
  // Other streams take whole chunks rather than one 4-byte write per value: the same
  // bytes, and a stream that takes less raises EWriteError as before.
  Stream.WriteBuffer(&count, sizeof count);
  std::uint8_t chunk[4 * kChunkValues];
  for (int done = 0; done < count;) {
    const int take = std::min(kChunkValues, count - done);
    StoreValues(List() + done, chunk, take);
    Stream.WriteBuffer(chunk, 4 * static_cast<std::int64_t>(take));
    done += take;
  }
}

bool TIntList::LoadFromStream(TStream& Stream)
{
  const std::int64_t remaining = Stream.Size() - Stream.Position();
  if (remaining < 4) return false;
  std::int32_t n;
  Stream.ReadBuffer(&n, sizeof n);
  if (n < 0) Error(kListCountError, n);
  // A count beyond what the stream holds is refused before the list changes.
  if (4 * static_cast<std::int64_t>(n) > remaining - 4) throw EReadError();
  if (auto* memory = dynamic_cast<TMemoryStream*>(&Stream)) {
    StoreRecord(memory->Bytes().data() + memory->Position(), n);
    memory->Seek(4 * static_cast<std::int64_t>(n), TSeekOrigin::soCurrent);
    return true;
  }
  SetCount(n);
  if (n > 0 && FSorted) SortedError();
  std::uint8_t chunk[4 * kChunkValues];
  for (int done = 0; done < n;) {
    const int take = std::min(kChunkValues, n - done);
    Stream.ReadBuffer(chunk, 4 * static_cast<std::int64_t>(take));
    LoadValues(chunk, List() + done, take);
    done += take;
  }
  return true;
}

void TIntList::SaveToVariant(OleVariant& Ole) const
{
  const std::int64_t extent = 4 * (static_cast<std::int64_t>(Count()) + 1);
  std::int64_t start = 0;
  if (Ole.IsNull() || Ole.IsEmpty()) {
    if (extent > INT32_MAX) throw EVariantError(u"Variant array bounds out of range");
    Ole.CreateByteArray(0, static_cast<std::int32_t>(extent));
  } else {
    const std::int32_t low = Ole.LowBound();
    const std::int32_t high = Ole.HighBound();
    if (high + extent > INT32_MAX) throw EVariantError(u"Variant array bounds out of range");
    Ole.RedimByteArray(static_cast<std::int32_t>(high + extent));
    // The record starts at the array's last element, the spare byte; an array with no
    // element at all has none, and the record starts at its first.
    start = std::max<std::int64_t>(0, static_cast<std::int64_t>(high) - low);
  }
  const ByteArrayLock lock(Ole);
  std::uint8_t* p = lock.Data() + start;
  SaveTo(p);
}

int TIntList::LoadFromVariant(const OleVariant& Ole, int offset)
{
  const ByteArrayLock lock(Ole);
  const std::int64_t size = lock.Size();
  if (offset < 0 || offset > size - 4)
    throw EListError(Format(u"Integer list record offset out of bounds (%d)", {std::int64_t{offset}}));
  const std::uint8_t* p = lock.Data() + offset;
  const std::int32_t n = ReadInt32(p);
  if (n < 0) Error(kListCountError, n);
  if (4 * static_cast<std::int64_t>(n) > size - offset - 4)
    throw EListError(
        Format(u"Integer list record of %d values runs past the end of the byte array", {std::int64_t{n}}));
  StoreRecord(p + 4, n);
  return 4 + 4 * n;
}

UnitSteps PureQuarnClassesUnit()
{
  return UnitSteps{
      "PureQuarnClasses",
      {"LargeSets"},
      [] {
        TIntList list;
        list.Add(1);
        gStartupText = list.GetText();
      },
      [] { Text().swap(gStartupText); },
  };
}

const Text& PureQuarnClassesStartupText() noexcept
{
  return gStartupText;
}

} // namespace fbu
