#pragma once
// The unit LargeSets: TLSet, a set of non-negative integers held as a bit field, and
// (in their own headers, included here) TFastList and TListFromSets.
//
// Model. Member m is bit (m AND 31) of 32-bit word (m SHR 5). InternalItemsCount is the
// number of 32-bit words in the bit field (its extent, which may run past the highest
// member); InternalHashCount is the number of those words that are non-zero.
//
// Invariants (checked by CheckInvariants, asserted after bulk operations in debug builds):
//   1. Every bit at or above 32 * InternalItemsCount is zero.
//   2. Occupancy bit w is set exactly when word w is non-zero, for every w, and
//      InternalHashCount equals the number of set occupancy bits.
//   3. No negative value is a member: the largest member is 2147483647, so the field
//      never exceeds 2^26 words (256 MB); a set filled by AddThis stays within
//      1,000,001 words (4 MB).
//   4. The extent grows on demand to exactly the needed word index plus one and shrinks
//      only through Reset/Clear, ISECT and the assigning operations; removing members
//      never shrinks it.
//
// Layout, chosen for speed with every count and text unchanged:
//   - The words live in one contiguous array of 64-bit units (two 32-bit words each, the
//     lower word in the low half), not one word per pointer-sized list slot. The bit of
//     member m is then bit (m AND 63) of unit (m SHR 6), so scans, counts and the set
//     algebra run 64 members per step, and a field of 32,000,001 members takes 4 MB
//     instead of 8 MB in the 64-bit build.
//   - The list of occupied words is kept as an occupancy bitmap, one bit per 32-bit
//     word (1/32 of the field), with its population in InternalHashCount. Its content is
//     exactly that of a list of the non-zero word indexes, and its order (ascending)
//     carries no meaning. AddThis and ClearThis update it in O(1) (a word that turns
//     non-zero is marked, one that turns zero unmarked), with no search; ISECT,
//     ClearSubSet, Subset, Equal, Has_ISECT, GetMin/GetMax and ExportToIntegerList skip
//     blocks of 64 words that hold no member.
//   - Capacity: the extent (InternalItemsCount) is always exact, but the storage behind it
//     grows geometrically, so adding members in ascending order costs amortised O(1)
//     instead of one reallocation per new word; Reset and the shrinking operations keep
//     the storage.
//
// Costs: Has, AddThis, ClearThis O(1) (AddThis amortised); MembersCount, ISECT_Count,
// UNION_Count, ToLine O(extent / 64), plus O(members) for text; UNION, ISECT, ClearSubSet,
// Subset, Equal, Has_ISECT, GetMin, GetMax, ExportToIntegerList O(extent / 4096) for the
// occupancy plus the units of the blocks that hold members; FromString O(length of the
// text + extent / 64). MembersCount, ISECT_Count and UNION_Count saturate at 2147483647
// (reached only by a set holding every value up to 2147483647).
//
// Population counts use POPCNT when the processor has it, chosen at run time (see
// LSetKernels.h); no extra compile flag is needed.
//
// Negative values, outside the set's domain, are ignored wherever they appear, and no
// call grows the field because of one:
//   - AddThis(m < 0), ClearThis(m < 0), Has(m < 0), HasOnly(m < 0): no effect, false.
//   - AddRange / AssignRange with low < 0: the range is clamped to start at 0 (a range
//     wholly below 0 adds nothing; AssignRange then leaves the set empty).
//   - AssignRest with From < 0: clamped to 0.
//   - FromString: a value that reads as negative (for instance "$FFFFFFFF") is ignored
//     like AddThis ignores it, and the item still counts as parsed.
//   - ReduceIndex(n < 0): every member moves down by one and member 0, which would become
//     -1, leaves the set (the same result for every n below 0).
//   - AssignBitBuffer: words from index 2^26 on would hold values above 2147483647 and
//     are not read.
// The upper bound 32000000 applies to AddThis (and so AddRange, AddList, FromString...)
// and to AssignRange's upper bound only, as the set has always done; ReduceIndex moves
// every member above n down, members above 32000000 included.

#include <cstdint>
#include <vector>

#include "base/ObjectList.h"
#include "base/Startup.h"
#include "base/Stream.h"
#include "base/Text.h"
#include "collections/FastList.h"

namespace fbu {

class TListFromSets;

class TLSet : public TObject {
public:
  // The member-to-word mapping: word index = member SHR kWordShift, bit = member AND
  // kWordMask, mask = kUnitBit SHL bit.
  static constexpr int kWordShift = 5;
  static constexpr std::uint32_t kWordMask = 31;
  static constexpr std::uint32_t kUnitBit = 1;
  // The largest member AddThis accepts.
  static constexpr std::int32_t kMaxAddMember = 32000000;
  // The value Max reports for an empty set.
  static constexpr std::int32_t kEmptyMax = -2147483647;

  TLSet() = default;
  TLSet(const TLSet&) = delete;
  TLSet& operator=(const TLSet&) = delete;
  ~TLSet() override = default;

  // Words in the bit field, and non-zero words among them.
  int InternalItemsCount() const noexcept { return itemsCount_; }
  int InternalHashCount() const noexcept { return hashCount_; }
  // Word w of the bit field (0 for w outside 0..InternalItemsCount-1).
  std::uint32_t InternalWord(int w) const noexcept;

  // Empties the set; InternalItemsCount becomes 0, the storage is kept.
  void Reset() noexcept;
  void Clear() noexcept { Reset(); }

  // Adds member (0..32000000); anything else is ignored.
  void AddThis(std::int32_t member);
  void ClearThis(std::int32_t member) noexcept;
  void SetThisAs(std::int32_t member, bool state)
  {
    if (state)
      AddThis(member);
    else
      ClearThis(member);
  }
  void InvertThis(std::int32_t member)
  {
    if (Has(member))
      ClearThis(member);
    else
      AddThis(member);
  }
  bool Has(std::int32_t member) const noexcept;
  // True when the set is exactly {member}.
  bool HasOnly(std::int32_t member) const noexcept;
  bool Empty() const noexcept { return hashCount_ == 0; }

  // The highest member, kEmptyMax when empty.
  std::int32_t Max() const noexcept;
  // False, arguments untouched, when empty.
  bool GetMin(std::int32_t& min) const noexcept;
  bool GetMax(std::int32_t& max) const noexcept;
  bool GetMinMax(std::int32_t& min, std::int32_t& max) const noexcept;

  std::int32_t MembersCount() const noexcept;

  // AddThis of every entry (an integer in a pointer-sized slot), index 0 upward.
  void AddList(const TList& list);
  // A copy of other (nullptr empties the set).
  void Assign(const TLSet* other);
  void Assign(const TLSet& other) { Assign(&other); }
  // Clear, then AddList (nullptr leaves the set empty).
  void Assign(const TList* list);
  void Assign(const TList& list) { Assign(&list); }
  void ImportFromIntegerList(const TList& z);
  // Empties z with its own (virtual) Clear, then gives it the members in ascending
  // order with its capacity equal to its count. The entries are written straight into
  // the slots, so z hears no per-entry notification (integers carry no object).
  void ExportToIntegerList(TList& z) const;

  // low..high inclusive, ignoring values above 32000000 and below 0.
  void AddRange(std::int32_t low, std::int32_t high);
  // The set becomes low..min(high, 32000000), empty when that range is.
  void AssignRange(std::int32_t low, std::int32_t high);
  // The set becomes the values from..upTo not in other (no upper cap).
  void AssignRest(const TLSet& other, std::int32_t from, std::int32_t upTo);
  // The set becomes the members encoded in intCount 32-bit words (word k, bit b stands
  // for 32k+b); zero words above the highest member are not kept. The caller vouches
  // that buff holds intCount words.
  void AssignBitBuffer(const std::uint32_t* buff, std::int32_t intCount);
  // Every member above n moves down by one.
  void ReduceIndex(std::int32_t n);

  void ISECT(const TLSet& other);
  void UNION(const TLSet& other);
  void ClearSubSet(const TLSet& other);
  // ClearSubSet with every set of the list, index 0 upward (absent entries skipped).
  void ClearSubSet(const TListFromSets& setList);
  bool Subset(const TLSet& other) const noexcept;
  bool Equal(const TLSet& other) const noexcept;
  std::int32_t ISECT_Count(const TLSet& other) const noexcept;
  std::int32_t UNION_Count(const TLSet& other) const noexcept;
  bool Has_ISECT(const TLSet& other) const noexcept;

  // Runs of consecutive members as "a-b", single members as "a", joined by separator
  // ({1,2,3,5} gives "1-3,5").
  Text ToLine(TextView separator) const;
  Text GetText() const { return ToLine(u","); }
  // The set becomes what the text describes; false when some item did not parse (the
  // items that did parse are kept).
  bool FromString(TextView data, TextView separator);

  // One length-prefixed text record holding ToLine(",").
  void WriteToStream(TStream& stream) const;
  // Clear, then one record; false when the record is missing or short, else FromString.
  bool ReadFromStream(TStream* stream);

  // Recomputes every invariant from the words; O(extent). For tests and assertions.
  bool CheckInvariants() const noexcept;

private:
  using Unit = std::uint64_t;
  static constexpr int kUnitShift = kWordShift + 1;   // member -> 64-bit unit
  static constexpr std::uint32_t kUnitMask = 63;      // member -> bit in its unit
  static constexpr int kBlockWords = 64;              // words per occupancy unit
  static constexpr int kBlockUnits = kBlockWords / 2; // 64-bit units per occupancy unit
  static constexpr std::int32_t kMaxWords = 1 << 26;  // words up to member 2147483647
  static constexpr Unit kLowWord = 0xFFFFFFFFULL;

  static std::size_t UnitsFor(int words) noexcept { return (static_cast<std::size_t>(words) + 1) / 2; }
  static std::size_t BlocksFor(int words) noexcept
  {
    return (static_cast<std::size_t>(words) + kBlockWords - 1) / kBlockWords;
  }
  std::size_t Units() const noexcept { return bits_.size(); }

  // Grows the extent to words (>= the current one); new words are zero.
  void GrowTo(int words);
  // Sets the extent to words (<= the current one), dropping the words above.
  void ShrinkTo(int words);
  // Marks word changes of unit u (from before to after) in the occupancy bitmap.
  void NoteUnitChange(std::size_t u, Unit before, Unit after) noexcept;
  // Recomputes occupancy block b from the units (InternalHashCount is left to
  // RecountOccupied, one population count over the whole bitmap).
  void RebuildBlock(std::size_t b) noexcept;
  void RecountOccupied() noexcept;
  // Recomputes the whole occupancy bitmap and InternalHashCount.
  void RebuildOccupancy() noexcept;
  // Sets bits low..high (both within the extent) and updates the occupancy.
  void SetBitRange(std::int64_t low, std::int64_t high) noexcept;
  // Lowest / highest member; the set must not be empty.
  std::int32_t LowestMember() const noexcept;
  std::int32_t HighestMember() const noexcept;

  std::vector<Unit> bits_;     // UnitsFor(itemsCount_) units
  std::vector<Unit> occupied_; // BlocksFor(itemsCount_) units, bit w = word w non-zero
  int itemsCount_ = 0;
  int hashCount_ = 0;
};

inline bool TLSet::Has(std::int32_t member) const noexcept
{
  if (member < 0) return false;
  const auto m = static_cast<std::uint32_t>(member);
  if ((m >> kWordShift) >= static_cast<std::uint32_t>(itemsCount_)) return false;
  return ((bits_[m >> kUnitShift] >> (m & kUnitMask)) & 1U) != 0;
}

inline void TLSet::AddThis(std::int32_t member)
{
  // One unsigned comparison refuses both a negative member and one above the bound.
  if (static_cast<std::uint32_t>(member) > static_cast<std::uint32_t>(kMaxAddMember)) return;
  const auto m = static_cast<std::uint32_t>(member);
  const auto w = static_cast<int>(m >> kWordShift);
  if (w >= itemsCount_) GrowTo(w + 1);
  Unit& unit = bits_[m >> kUnitShift];
  const std::uint32_t bit = m & kUnitMask;
  // A word that turns non-zero joins the occupied words, found without a search. Done
  // without a branch: for random members that test is a coin toss the processor would
  // mispredict half the time.
  const Unit wasEmpty = ((unit >> (bit & 32U)) & kLowWord) == 0 ? 1 : 0;
  occupied_[static_cast<std::size_t>(w) / kBlockWords] |= wasEmpty << (w % kBlockWords);
  hashCount_ += static_cast<int>(wasEmpty);
  unit |= Unit{1} << bit;
}

// The unit's start-up step: on the main thread only (IsMainThread of the thread
// registry), a set is made, given the member 4, printed and read back from its text, and
// released; nothing is kept or reported. No shutdown work. Needs "ThreadRegistry".
UnitSteps LargeSetsUnit();

} // namespace fbu

#include "collections/ListFromSets.h"
