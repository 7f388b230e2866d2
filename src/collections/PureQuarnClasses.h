#pragma once
// The unit PureQuarnClasses: TIntList, an ordered list of signed 32-bit integers kept
// unboxed, one value per slot of the base list TList (sign-extended in a 64-bit slot).
//
// Modes. Unsorted (the default): a plain sequence, linear search, repeats allowed.
// Sorted: ascending order after every operation of this class (ties in any order),
// binary search, and the duplicates policy applied by Add. Slot-level operations
// inherited from TList (Exchange, Move, List()) ignore the mode: a caller using them on
// a sorted list keeps the order itself.
//
// Order. Values compare with <, never by subtraction, so the ascending sort, the
// descending sort (its reverse) and Find agree for every pair of 32-bit values.
//
// Costs. Add: unsorted amortised O(1), sorted O(log n) search plus the move of the later
// values. Find / IndexOf: unsorted O(n), sorted O(log n). The pairwise operations
// (Intersect, IntersectCount, Union, UnionCount, Remove with a list, Unique,
// UniqueCount) and RemoveSet run in O(n + m) when the values of the looked-up list lie
// in a range of at most about four times its count, and in O((n + m) log m) otherwise;
// each gives exactly the order and counts of the one-value-at-a-time algorithm.
//
// The integer list record (SaveTo, SaveToStream, SaveToVariant and their readers):
// little-endian signed 32-bit count N, then the N values; 4 + 4N bytes, nothing else.
// The readers check a record against what its source holds before they change the list
// (raw memory excepted: its caller supplies whole records).

#include <cstdint>

#include "base/List.h"
#include "base/OleVariant.h"
#include "base/Startup.h"
#include "base/Stream.h"
#include "base/Text.h"

namespace fbu {

class TLSet;

inline constexpr char16_t kSortedIntListError[] = u"Operation not allowed on sorted integer list";
inline constexpr char16_t kIntListIndexError[] = u"IntList index out of bounds (%d)";
inline constexpr char16_t kIntListDuplicateError[] = u"Integer list does not allow duplicates";

class TIntList : public TList {
public:
  // The largest range FillRandom accepts: 2^26 values (256 MB of 32-bit slots).
  static constexpr std::int64_t kMaxRandomRange = std::int64_t{1} << 26;

  // Create: empty, unsorted, dupAccept.
  TIntList() = default;
  // Create(InitCapacyty); a negative capacity raises "List capacity out of bounds (%d)".
  explicit TIntList(int InitCapacyty);
  ~TIntList() override = default;

  // Unsorted, filled by FillRandom(iMin, iMax).
  static TIntList CreateRandom(std::int32_t iMin, std::int32_t iMax);
  // Empty, sorted, dupAccept.
  static TIntList CreateSorted();
  // Empty, sorted, dupIgnore.
  static TIntList CreateSortedUnique();

  // ---- Properties
  std::int32_t operator[](int index) const { return Get(index); }
  bool Sorted() const noexcept { return FSorted; }
  // True: sorts ascending first (repeats stay, whatever the policy). False: keeps the order.
  void SetSorted(bool value);
  TDuplicates Duplicates() const noexcept { return FDuplicates; }
  // Takes effect on later Adds only; the values held are not looked at.
  void SetDuplicates(TDuplicates value) noexcept { FDuplicates = value; }
  // Text: ToLine(",") and FromLine(",", text).
  Text GetText() const { return ToLine(u","); }
  void SetText(TextView text) { FromLine(u",", text); }

  // ---- Access and search
  std::int32_t Get(int N) const { return ValueOf(TList::Get(N)); }
  // Raises in the sorted mode.
  void Put(int Index, std::int32_t Value);
  std::int32_t First() const { return Get(0); }
  std::int32_t Last() const { return ValueOf(TList::Last()); }
  // Unsorted: lowest position or -1. Sorted: binary search; on a hit with dupAccept the
  // lowest position holding the value, with the other policies the first probe that
  // met it; on a miss the insertion point (the number of smaller values).
  bool Find(std::int32_t Value, int& Index) const noexcept;
  int IndexOf(std::int32_t Value) const noexcept;
  bool EqualTo(const TIntList& OtherList) const noexcept;

  // ---- Adding and inserting
  // Unsorted: appends. Sorted: inserts at Find's position; a value already held is
  // ignored (dupIgnore, returning the found position), refused (dupError) or inserted
  // ahead of its equals (dupAccept).
  int Add(std::int32_t Item);
  // Add of minI..maxI ascending; nothing when minI > maxI.
  void AddRange(std::int32_t minI, std::int32_t maxI);
  // Add of each of Other's values in its order; returns Other's count taken first.
  int Add(const TIntList& Other);
  // The position of Item when Find finds it, else Add(Item).
  int AddUnique(std::int32_t Item);
  // Refused in the sorted mode and outside 0..Count.
  void Insert(int Index, std::int32_t Value);

  // ---- Removing
  // An index at or above Count is ignored; a negative one raises.
  void Delete(int index);
  void DeleteLast() { TList::Delete(Count() - 1); }
  // Deletes the lowest occurrence; its position, or -1.
  int Remove(std::int32_t Value) { return TList::Remove(SlotOf(Value)); }
  // Removes the lowest remaining occurrence of each of Other's values, in its order;
  // true when something was removed.
  bool Remove(const TIntList& Other);
  // Deletes every value that L holds.
  void RemoveSet(const TLSet& L);
  void Compact() { SetCapacity(Count()); }

  // ---- Ordering
  // Ascending in either mode; the mode stays.
  void SortIncreasing();
  // Nothing in the sorted mode.
  void SortDescending();
  void Sort(TListSortCompare Compare);

  // ---- Transformations, set operations, statistics
  // Writes go through Put: on a sorted list, the first value that would change raises.
  void IncrementAll(std::int32_t ByValue);
  void ReduceIndex(std::int32_t n);
  void IncreaseIndex(std::int32_t n);
  // Clears, then every value of iMin..iMax once: a random order from a generator of the
  // list's own (nothing process-wide is reseeded) in the unsorted mode, ascending in the
  // sorted mode. A range of more than kMaxRandomRange values raises EListError and
  // leaves the list as it was.
  void FillRandom(std::int32_t iMin, std::int32_t iMax);
  // Keeps the first occurrence of each value, in order.
  void Unique();
  int UniqueCount() const;
  // Keeps the values L holds (repeats included), in order.
  void Intersect(const TIntList& L);
  int IntersectCount(const TIntList& L) const;
  // Adds each value of L that this list does not hold yet, once, in L's order.
  void Union(const TIntList& L);
  int UnionCount(const TIntList& L) const;
  // Wraps modulo 2^32.
  std::int32_t Sum() const noexcept;
  // False, M untouched, on an empty list.
  bool GetMin(std::int32_t& M) const noexcept;
  bool GetMax(std::int32_t& M) const noexcept;

  // ---- Assignment
  // nullptr clears. Otherwise the values in IList's order (capacity taken from IList),
  // then Sorted := IList's mode when it is a TIntList, else false. Duplicates stays.
  void Assign(const TList* IList);
  void Assign(const TList& IList) { Assign(&IList); }
  // Clear, then the set's members ascending, capacity trimmed; the mode stays.
  void Assign(const TLSet& LSet);

  // ---- Text
  // Decimal values joined by Separator; empty for an empty list.
  Text ToLine(TextView Separator) const;
  // SetFromText(Line, Separator); always true.
  bool FromLine(TextView Separator, TextView Line);
  // Count 0 (capacity kept), then Add of every token between separators that is an
  // integer in the system's syntax; other tokens are skipped.
  void SetFromText(TextView Txt, TextView Separator);

  // ---- Binary forms
  // Writes one record at P and advances P past it.
  void SaveTo(std::uint8_t*& P) const;
  // Reads one record at P and advances P past it. The caller vouches for the record's
  // length; a negative count raises "List count out of bounds (%d)".
  void LoadFrom(const std::uint8_t*& P);
  // One record at the stream's position; EWriteError when the stream takes less.
  void SaveToStream(TStream& Stream) const;
  // False, nothing read, when fewer than 4 bytes remain. A record claiming more values
  // than remain raises EReadError "Stream read error", the list unchanged.
  bool LoadFromStream(TStream& Stream);
  // Appends one record to the byte array in Ole: Null or unassigned starts a new array
  // 0..4(Count+1); otherwise the array grows by 4(Count+1) and the record starts at its
  // last element, so the array always keeps one spare byte after its records.
  void SaveToVariant(OleVariant& Ole) const;
  // Reads the record starting offset bytes after the array's first element; returns
  // the bytes consumed, 4 + 4N. A record outside the array raises EListError, the list
  // unchanged.
  int LoadFromVariant(const OleVariant& Ole, int offset);

private:
  TIntList(bool sorted, TDuplicates duplicates) : FSorted(sorted), FDuplicates(duplicates) {}

  struct RandomFill {};
  TIntList(RandomFill, std::int32_t iMin, std::int32_t iMax) { FillRandom(iMin, iMax); }

  static std::int32_t ValueOf(TPointer slot) noexcept { return static_cast<std::int32_t>(slot); }
  static TPointer SlotOf(std::int32_t value) noexcept { return static_cast<TPointer>(value); }
  [[noreturn]] void SortedError() const { throw EListError(kSortedIntListError); }
  // Count set to n, then the n values stored as Put would store them.
  void StoreRecord(const std::uint8_t* values, std::int32_t n);
  // Keeps the values for which keep(value) is true, in order.
  template <class Keep> void KeepOnly(Keep keep);

  bool FSorted = false;
  TDuplicates FDuplicates = dupAccept;
};

// The unit's start-up step: a list is made, given 1, its Text ("1") kept in a unit-level
// text, and the list released. Shutdown clears the text. Needs "LargeSets".
UnitSteps PureQuarnClassesUnit();
// The unit-level text, for tests.
const Text& PureQuarnClassesStartupText() noexcept;

} // namespace fbu
