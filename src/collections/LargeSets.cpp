#include "collections/LargeSets.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <limits>

#include "collections/LSetKernels.h"
#include "tools/GeneralTools.h"
#include "tools/ThreadRegistry.h"

namespace fbu {

namespace {

using Unit = std::uint64_t;
constexpr Unit kAllOnes = ~Unit{0};

// Counts of members and words fit 32 bits except for a set holding (nearly) every value
// up to 2147483647; such counts saturate rather than wrap to a negative number.
std::int32_t Saturate(std::int64_t count) noexcept
{
  return static_cast<std::int32_t>(std::min<std::int64_t>(count, std::numeric_limits<std::int32_t>::max()));
}

int DecimalDigits(std::uint32_t v) noexcept
{
  int n = 1;
  while (v >= 10000) {
    v /= 10000;
    n += 4;
  }
  if (v >= 1000) return n + 3;
  if (v >= 100) return n + 2;
  if (v >= 10) return n + 1;
  return n;
}

constexpr char kDigitPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                               "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                               "8081828384858687888990919293949596979899";

// Writes the decimal text of v at out (DecimalDigits(v) code units); returns the end.
char16_t* WriteDecimal(char16_t* out, std::uint32_t v) noexcept
{
  char16_t* end = out + DecimalDigits(v);
  char16_t* p = end;
  while (v >= 100) {
    const std::uint32_t pair = (v % 100) * 2;
    v /= 100;
    *--p = static_cast<char16_t>(kDigitPairs[pair + 1]);
    *--p = static_cast<char16_t>(kDigitPairs[pair]);
  }
  if (v >= 10) {
    *--p = static_cast<char16_t>(kDigitPairs[v * 2 + 1]);
    *--p = static_cast<char16_t>(kDigitPairs[v * 2]);
  } else {
    *--p = static_cast<char16_t>(u'0' + v);
  }
  return end;
}

// Runs of consecutive members, ascending, found a 64-bit unit at a time: the next
// member is the lowest set bit at or after the position, the end of its run the lowest
// clear bit after it.
class RunScanner {
public:
  RunScanner(const Unit* units, std::size_t count) noexcept : units_(units), count_(count) {}

  bool Next(std::uint32_t& first, std::uint32_t& last) noexcept
  {
    std::size_t u = pos_ >> 6;
    if (u >= count_) return false;
    Unit word = units_[u] & (kAllOnes << (pos_ & 63));
    while (word == 0) {
      if (++u >= count_) return false;
      word = units_[u];
    }
    const std::uint64_t start = (static_cast<std::uint64_t>(u) << 6) + static_cast<unsigned>(std::countr_zero(word));
    // The run ends at the first clear bit after start; the bits past the last unit
    // count as clear.
    word = ~units_[u] & (kAllOnes << (start & 63));
    while (word == 0) {
      if (++u >= count_) break;
      word = ~units_[u];
    }
    const std::uint64_t end =
        u >= count_ ? static_cast<std::uint64_t>(count_) << 6
                    : (static_cast<std::uint64_t>(u) << 6) + static_cast<unsigned>(std::countr_zero(word));
    first = static_cast<std::uint32_t>(start);
    last = static_cast<std::uint32_t>(end - 1);
    pos_ = end;
    return true;
  }

private:
  const Unit* units_;
  std::size_t count_;
  std::uint64_t pos_ = 0;
};

// dst |= src over n units; the two never overlap (a set is not its own Other here).
void OrUnits(Unit* __restrict dst, const Unit* __restrict src, std::size_t n) noexcept
{
  for (std::size_t i = 0; i < n; ++i) dst[i] |= src[i];
}

TPointer* DecodeSparseUnit(Unit v, TPointer base, TPointer* out) noexcept
{
  while (v) {
    *out++ = base + std::countr_zero(v);
    v &= v - 1;
  }
  return out;
}

// An item of the text form that is one to nine decimal digits, nothing else: the common
// case, read without the general parser (which would give the same value).
bool TryPlainDigits(TextView item, std::int32_t& value) noexcept
{
  if (item.empty() || item.size() > 9) return false;
  std::int32_t v = 0;
  for (const char16_t c : item) {
    if (c < u'0' || c > u'9') return false;
    v = v * 10 + (c - u'0');
  }
  value = v;
  return true;
}

bool ParseNumber(TextView item, std::int32_t& value) noexcept
{
  return TryPlainDigits(item, value) || TryTrimStrToInt(item, value);
}

} // namespace

std::uint32_t TLSet::InternalWord(int w) const noexcept
{
  if (w < 0 || w >= itemsCount_) return 0;
  return static_cast<std::uint32_t>(bits_[static_cast<std::size_t>(w) >> 1] >> ((w & 1) * 32));
}

void TLSet::Reset() noexcept
{
  bits_.clear();
  occupied_.clear();
  itemsCount_ = 0;
  hashCount_ = 0;
}

void TLSet::GrowTo(int words)
{
  assert(words >= itemsCount_ && words <= kMaxWords);
  // The storage grows geometrically while the extent is exact. Both arrays get their room
  // first, so a failed allocation leaves the set as it was.
  const std::size_t units = UnitsFor(words), blocks = BlocksFor(words);
  if (units > bits_.capacity()) bits_.reserve(std::max(units, 2 * bits_.capacity()));
  if (blocks > occupied_.capacity()) occupied_.reserve(std::max(blocks, 2 * occupied_.capacity()));
  bits_.resize(units);
  occupied_.resize(blocks);
  itemsCount_ = words;
}

void TLSet::ShrinkTo(int words)
{
  assert(words >= 0 && words <= itemsCount_);
  if (words == itemsCount_) return;
  bits_.resize(UnitsFor(words));
  if (words & 1) bits_.back() &= kLowWord;
  occupied_.resize(BlocksFor(words));
  if (words % kBlockWords) occupied_.back() &= (Unit{1} << (words % kBlockWords)) - 1;
  itemsCount_ = words;
  RecountOccupied();
}

void TLSet::NoteUnitChange(std::size_t u, Unit before, Unit after) noexcept
{
  const std::size_t w = 2 * u;
  Unit& block = occupied_[w / kBlockWords];
  const unsigned shift = static_cast<unsigned>(w % kBlockWords);
  const bool lowWas = (before & kLowWord) != 0, lowNow = (after & kLowWord) != 0;
  const bool highWas = (before >> 32) != 0, highNow = (after >> 32) != 0;
  if (lowWas != lowNow) {
    block ^= Unit{1} << shift;
    hashCount_ += lowNow ? 1 : -1;
  }
  if (highWas != highNow) {
    block ^= Unit{1} << (shift + 1);
    hashCount_ += highNow ? 1 : -1;
  }
}

void TLSet::RebuildBlock(std::size_t b) noexcept
{
  const std::size_t first = b * kBlockUnits;
  const std::size_t last = std::min(first + kBlockUnits, Units());
  Unit summary = 0;
  for (std::size_t u = first; u < last; ++u) {
    const Unit v = bits_[u];
    const unsigned k = static_cast<unsigned>(2 * (u - first));
    summary |= static_cast<Unit>((v & kLowWord) != 0) << k;
    summary |= static_cast<Unit>((v >> 32) != 0) << (k + 1);
  }
  occupied_[b] = summary;
}

void TLSet::RecountOccupied() noexcept
{
  hashCount_ = Saturate(lset_kernels::Count(occupied_.data(), occupied_.size()));
}

void TLSet::RebuildOccupancy() noexcept
{
  for (std::size_t b = 0; b < occupied_.size(); ++b) RebuildBlock(b);
  RecountOccupied();
}

void TLSet::SetBitRange(std::int64_t low, std::int64_t high) noexcept
{
  assert(low >= 0 && low <= high && (high >> kWordShift) < itemsCount_);
  const auto u0 = static_cast<std::size_t>(low >> kUnitShift);
  const auto u1 = static_cast<std::size_t>(high >> kUnitShift);
  for (std::size_t u = u0; u <= u1; ++u) {
    Unit mask = kAllOnes;
    if (u == u0) mask &= kAllOnes << (low & kUnitMask);
    if (u == u1) mask &= kAllOnes >> (kUnitMask - (high & kUnitMask));
    const Unit before = bits_[u];
    const Unit after = before | mask;
    if (after != before) {
      bits_[u] = after;
      NoteUnitChange(u, before, after);
    }
  }
}

void TLSet::ClearThis(std::int32_t member) noexcept
{
  if (member < 0) return;
  const auto m = static_cast<std::uint32_t>(member);
  if ((m >> kWordShift) >= static_cast<std::uint32_t>(itemsCount_)) return;
  const std::size_t u = m >> kUnitShift;
  const Unit before = bits_[u];
  const Unit after = before & ~(Unit{1} << (m & kUnitMask));
  if (after == before) return;
  bits_[u] = after;
  // The word may have turned zero: it leaves the occupied words. The extent stays.
  NoteUnitChange(u, before, after);
}

bool TLSet::HasOnly(std::int32_t member) const noexcept
{
  if (member < 0 || hashCount_ != 1) return false;
  const auto m = static_cast<std::uint32_t>(member);
  return InternalWord(static_cast<int>(m >> kWordShift)) == (kUnitBit << (m & kWordMask));
}

std::int32_t TLSet::LowestMember() const noexcept
{
  assert(!Empty());
  for (std::size_t b = 0; b < occupied_.size(); ++b) {
    if (occupied_[b] == 0) continue;
    const auto w = static_cast<int>(b * kBlockWords + static_cast<unsigned>(std::countr_zero(occupied_[b])));
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(w) << kWordShift) +
                                     static_cast<unsigned>(std::countr_zero(InternalWord(w))));
  }
  return 0;
}

std::int32_t TLSet::HighestMember() const noexcept
{
  assert(!Empty());
  for (std::size_t b = occupied_.size(); b-- > 0;) {
    if (occupied_[b] == 0) continue;
    const auto w = static_cast<int>(b * kBlockWords + 63 - static_cast<unsigned>(std::countl_zero(occupied_[b])));
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(w) << kWordShift) + 31 -
                                     static_cast<unsigned>(std::countl_zero(InternalWord(w))));
  }
  return 0;
}

std::int32_t TLSet::Max() const noexcept
{
  return Empty() ? kEmptyMax : HighestMember();
}

bool TLSet::GetMin(std::int32_t& min) const noexcept
{
  if (Empty()) return false;
  min = LowestMember();
  return true;
}

bool TLSet::GetMax(std::int32_t& max) const noexcept
{
  if (Empty()) return false;
  max = HighestMember();
  return true;
}

bool TLSet::GetMinMax(std::int32_t& min, std::int32_t& max) const noexcept
{
  if (Empty()) return false;
  min = LowestMember();
  max = HighestMember();
  return true;
}

std::int32_t TLSet::MembersCount() const noexcept
{
  if (Empty()) return 0;
  return Saturate(lset_kernels::Count(bits_.data(), Units()));
}

void TLSet::AddList(const TList& list)
{
  const TPointer* items = list.List();
  for (int i = 0; i < list.Count(); ++i) {
    // Slots hold 32-bit integers; anything outside 0..32000000 is dropped as AddThis
    // drops it (a 64-bit slot beyond 32 bits is no integer of the list).
    const TPointer v = items[i];
    if (v >= 0 && v <= kMaxAddMember) AddThis(static_cast<std::int32_t>(v));
  }
}

void TLSet::Assign(const TLSet* other)
{
  if (!other) {
    Reset();
    return;
  }
  if (other == this) return;
  // Room first, then copies that cannot fail: a failed allocation changes nothing.
  bits_.reserve(other->bits_.size());
  occupied_.reserve(other->occupied_.size());
  bits_ = other->bits_;
  occupied_ = other->occupied_;
  itemsCount_ = other->itemsCount_;
  hashCount_ = other->hashCount_;
}

void TLSet::Assign(const TList* list)
{
  Clear();
  if (list) AddList(*list);
}

void TLSet::ImportFromIntegerList(const TList& z)
{
  Reset();
  AddList(z);
}

void TLSet::ExportToIntegerList(TList& z) const
{
  z.Clear();
  if (Empty()) return;
  const int count = MembersCount();
  // One allocation of exactly the final size, then the slots are written in place.
  z.SetCapacity(count);
  z.SetCount(count);
  TPointer* out = z.List();
  TPointer* const end = out + count;
  const Unit* units = bits_.data();
  // Blocks from 12 members per 64-bit unit on average go to the table decoder (fastest
  // when about half the bits are set, and it needs a few slots of room past the block);
  // the others to a lowest-set-bit loop, which costs per member only.
  constexpr std::int64_t kDenseBlock = 12 * kBlockUnits;
  for (std::size_t b = 0; b < occupied_.size(); ++b) {
    if (occupied_[b] == 0) continue;
    const std::size_t first = b * kBlockUnits;
    const std::size_t last = std::min(first + kBlockUnits, Units());
    const std::int64_t members = lset_kernels::Count(units + first, last - first);
    const bool dense =
        members >= kDenseBlock &&
        end - out >= static_cast<std::ptrdiff_t>(members + static_cast<std::int64_t>(lset_kernels::kDecodeSlack));
    if (dense) {
      out = lset_kernels::ActiveKernels().DecodeDense(units + first, last - first,
                                                      static_cast<TPointer>(first << kUnitShift), out);
    } else {
      for (std::size_t u = first; u < last; ++u)
        out = DecodeSparseUnit(units[u], static_cast<TPointer>(u << kUnitShift), out);
    }
  }
  assert(out == end);
  z.SetCapacity(z.Count());
}

void TLSet::AddRange(std::int32_t low, std::int32_t high)
{
  if (low > high) return;
  high = std::min(high, kMaxAddMember);
  low = std::max(low, 0);
  if (low > high) return;
  // Grown once, to the top of the range, as adding from the top down would.
  const int top = (high >> kWordShift) + 1;
  if (top > itemsCount_) GrowTo(top);
  SetBitRange(low, high);
}

void TLSet::AssignRange(std::int32_t low, std::int32_t high)
{
  high = std::min(high, kMaxAddMember);
  low = std::max(low, 0);
  Reset();
  if (high < low) return;
  GrowTo((high >> kWordShift) + 1);
  SetBitRange(low, high);
  assert(CheckInvariants());
}

void TLSet::AssignRest(const TLSet& other, std::int32_t from, std::int32_t upTo)
{
  // Emptying the set comes first, so a set that is its own Other counts as empty.
  const bool otherIsSelf = &other == this;
  Reset();
  from = std::max(from, 0);
  if (from > upTo) return;
  const auto unitOf = [&](std::size_t u) -> Unit {
    if (otherIsSelf || u >= other.Units()) return 0;
    return other.bits_[u];
  };
  const auto maskOf = [&](std::size_t u) -> Unit {
    Unit mask = kAllOnes;
    if (u == static_cast<std::size_t>(from) >> kUnitShift) mask &= kAllOnes << (from & kUnitMask);
    if (u == static_cast<std::size_t>(upTo) >> kUnitShift) mask &= kAllOnes >> (kUnitMask - (upTo & kUnitMask));
    return mask;
  };
  const std::size_t u0 = static_cast<std::size_t>(from) >> kUnitShift;
  // The extent ends at the word of the highest value that Other lacks.
  std::size_t u = static_cast<std::size_t>(upTo) >> kUnitShift;
  Unit top = 0;
  for (;; --u) {
    top = ~unitOf(u) & maskOf(u);
    if (top != 0 || u == u0) break;
  }
  if (top == 0) return;
  const std::uint64_t highest = (static_cast<std::uint64_t>(u) << kUnitShift) + 63 - std::countl_zero(top);
  GrowTo(static_cast<int>(highest >> kWordShift) + 1);
  for (std::size_t k = u0; k <= u; ++k) bits_[k] = ~unitOf(k) & maskOf(k);
  RebuildOccupancy();
  assert(CheckInvariants());
}

void TLSet::AssignBitBuffer(const std::uint32_t* buff, std::int32_t intCount)
{
  Reset();
  if (!buff || intCount <= 0) return;
  int k = std::min(intCount, kMaxWords) - 1;
  while (k >= 0 && buff[k] == 0) --k;
  if (k < 0) return;
  GrowTo(k + 1);
  for (int j = 0; j <= k; ++j) bits_[static_cast<std::size_t>(j) >> 1] |= static_cast<Unit>(buff[j]) << ((j & 1) * 32);
  RebuildOccupancy();
  assert(CheckInvariants());
}

void TLSet::ReduceIndex(std::int32_t n)
{
  if (Empty()) return;
  if (static_cast<std::int64_t>(HighestMember()) < static_cast<std::int64_t>(n) + 1) return;
  // Below 0 every n means the same: everything moves down, member 0 drops out.
  const bool keepN = n >= 0 && Has(n);
  const std::size_t from = static_cast<std::size_t>(std::max(n, 0));
  const std::size_t u0 = from >> kUnitShift;
  const Unit lowMask = (Unit{1} << (from & kUnitMask)) - 1;
  const std::size_t count = Units();
  // Position p >= from takes the bit of p + 1; positions below from keep theirs.
  for (std::size_t u = u0; u < count; ++u) {
    const Unit next = u + 1 < count ? bits_[u + 1] : 0;
    const Unit shifted = (bits_[u] >> 1) | (next << 63);
    bits_[u] = u == u0 ? (bits_[u] & lowMask) | (shifted & ~lowMask) : shifted;
  }
  if (keepN) bits_[from >> kUnitShift] |= Unit{1} << (from & kUnitMask);
  RebuildOccupancy();
  assert(CheckInvariants());
}

void TLSet::ISECT(const TLSet& other)
{
  if (&other == this) return;
  if (itemsCount_ > other.itemsCount_) ShrinkTo(other.itemsCount_);
  const Unit* src = other.bits_.data();
  for (std::size_t b = 0; b < occupied_.size(); ++b) {
    if (occupied_[b] == 0) continue;
    const std::size_t last = std::min((b + 1) * kBlockUnits, Units());
    for (std::size_t u = b * kBlockUnits; u < last; ++u) bits_[u] &= src[u];
    RebuildBlock(b);
  }
  RecountOccupied();
  assert(CheckInvariants());
}

void TLSet::UNION(const TLSet& other)
{
  if (&other == this) return;
  if (itemsCount_ < other.itemsCount_) GrowTo(other.itemsCount_);
  const Unit* src = other.bits_.data();
  Unit* dst = bits_.data();
  const std::size_t blocks = other.occupied_.size();
  // Runs of blocks where Other has members are ORed in one loop each (for a dense Other,
  // one loop over the whole field); blocks without members are skipped.
  for (std::size_t b = 0; b < blocks;) {
    if (other.occupied_[b] == 0) {
      ++b;
      continue;
    }
    std::size_t e = b;
    for (; e < blocks && other.occupied_[e] != 0; ++e) {
      // A word of the union is non-zero when it is in either set: the occupancy is the
      // union of both occupancies.
      occupied_[e] |= other.occupied_[e];
    }
    OrUnits(dst + b * kBlockUnits, src + b * kBlockUnits, std::min(e * kBlockUnits, other.Units()) - b * kBlockUnits);
    b = e;
  }
  RecountOccupied();
  assert(CheckInvariants());
}

void TLSet::ClearSubSet(const TLSet& other)
{
  const std::size_t limit = std::min(Units(), other.Units());
  const Unit* src = other.bits_.data();
  for (std::size_t b = 0; b < occupied_.size() && b * kBlockUnits < limit; ++b) {
    if (occupied_[b] == 0) continue;
    const std::size_t last = std::min((b + 1) * kBlockUnits, limit);
    for (std::size_t u = b * kBlockUnits; u < last; ++u) bits_[u] &= ~src[u];
    RebuildBlock(b);
  }
  RecountOccupied();
  assert(CheckInvariants());
}

void TLSet::ClearSubSet(const TListFromSets& setList)
{
  for (int i = 0; i < setList.Count(); ++i)
    if (const TLSet* set = setList.GetLSet(i)) ClearSubSet(*set);
}

bool TLSet::Subset(const TLSet& other) const noexcept
{
  if (hashCount_ > other.hashCount_) return false;
  for (std::size_t b = 0; b < occupied_.size(); ++b) {
    if (occupied_[b] == 0) continue;
    const std::size_t last = std::min((b + 1) * kBlockUnits, Units());
    for (std::size_t u = b * kBlockUnits; u < last; ++u) {
      const Unit theirs = u < other.Units() ? other.bits_[u] : 0;
      if (bits_[u] & ~theirs) return false;
    }
  }
  return true;
}

bool TLSet::Equal(const TLSet& other) const noexcept
{
  if (hashCount_ != other.hashCount_) return false;
  // Same occupied words and the same words there. Blocks past the shorter occupancy need
  // no look: with equal totals and equal prefixes, the longer tail is all zero.
  const std::size_t blocks = std::min(occupied_.size(), other.occupied_.size());
  const std::size_t limit = std::min(Units(), other.Units());
  for (std::size_t b = 0; b < blocks; ++b) {
    if (occupied_[b] != other.occupied_[b]) return false;
    if (occupied_[b] == 0) continue;
    const std::size_t last = std::min((b + 1) * kBlockUnits, limit);
    for (std::size_t u = b * kBlockUnits; u < last; ++u)
      if (bits_[u] != other.bits_[u]) return false;
  }
  return true;
}

std::int32_t TLSet::ISECT_Count(const TLSet& other) const noexcept
{
  if (Empty() || other.Empty()) return 0;
  return Saturate(lset_kernels::CountAnd(bits_.data(), other.bits_.data(), std::min(Units(), other.Units())));
}

std::int32_t TLSet::UNION_Count(const TLSet& other) const noexcept
{
  if (Empty() && other.Empty()) return 0;
  const std::size_t common = std::min(Units(), other.Units());
  const TLSet& longer = Units() >= other.Units() ? *this : other;
  return Saturate(lset_kernels::CountOr(bits_.data(), other.bits_.data(), common) +
                  lset_kernels::Count(longer.bits_.data() + common, longer.Units() - common));
}

bool TLSet::Has_ISECT(const TLSet& other) const noexcept
{
  if (Empty() || other.Empty()) return false;
  const std::size_t blocks = std::min(occupied_.size(), other.occupied_.size());
  const std::size_t limit = std::min(Units(), other.Units());
  for (std::size_t b = 0; b < blocks; ++b) {
    if ((occupied_[b] & other.occupied_[b]) == 0) continue;
    const std::size_t last = std::min((b + 1) * kBlockUnits, limit);
    for (std::size_t u = b * kBlockUnits; u < last; ++u)
      if (bits_[u] & other.bits_[u]) return true;
  }
  return false;
}

Text TLSet::ToLine(TextView separator) const
{
  Text result;
  if (Empty()) return result;
  // Two passes over the runs: the first sizes the text exactly, the second writes it,
  // so a text of a hundred million code units is allocated once and never copied.
  const std::size_t sepLength = separator.size();
  std::size_t length = 0;
  std::uint32_t first = 0, last = 0;
  for (RunScanner runs(bits_.data(), Units()); runs.Next(first, last);) {
    length += sepLength + static_cast<std::size_t>(DecimalDigits(first));
    if (last != first) length += 1 + static_cast<std::size_t>(DecimalDigits(last));
  }
  // The first item has no separator before it.
  length -= sepLength;
  result.resize(length);
  char16_t* out = result.data();
  bool leading = true;
  for (RunScanner runs(bits_.data(), Units()); runs.Next(first, last);) {
    if (!leading) out = std::copy(separator.begin(), separator.end(), out);
    leading = false;
    out = WriteDecimal(out, first);
    if (last != first) {
      *out++ = u'-';
      out = WriteDecimal(out, last);
    }
  }
  assert(out == result.data() + result.size());
  return result;
}

bool TLSet::FromString(TextView data, TextView separator)
{
  bool result = true;
  Reset();
  std::size_t pos = 0;
  const std::size_t size = data.size();
  for (;;) {
    TextView item;
    // An empty separator never occurs: the whole text is one item.
    const std::size_t found = separator.empty() ? TextView::npos : data.find(separator, pos);
    if (found != TextView::npos) {
      item = data.substr(pos, found - pos);
      pos = found + separator.size();
    } else if (pos < size) {
      item = data.substr(pos);
      pos = size;
    } else {
      break;
    }
    const std::size_t dash = item.find(u'-');
    if (dash != TextView::npos) {
      std::int32_t low = 0, high = 0;
      if (ParseNumber(item.substr(0, dash), low) && ParseNumber(item.substr(dash + 1), high))
        AddRange(low, high);
      else
        result = false;
    } else {
      std::int32_t value = 0;
      if (ParseNumber(item, value))
        AddThis(value);
      else
        result = false;
    }
  }
  return result;
}

void TLSet::WriteToStream(TStream& stream) const
{
  WriteStringToStream(ToLine(u","), stream);
}

bool TLSet::ReadFromStream(TStream* stream)
{
  Clear();
  Text text;
  if (!ReadStringFromStream(text, stream)) return false;
  return FromString(text, u",");
}

bool TLSet::CheckInvariants() const noexcept
{
  if (itemsCount_ < 0 || itemsCount_ > kMaxWords) return false;
  if (bits_.size() != UnitsFor(itemsCount_) || occupied_.size() != BlocksFor(itemsCount_)) return false;
  if ((itemsCount_ & 1) && (bits_.back() >> 32) != 0) return false;
  std::int64_t occupiedWords = 0;
  for (int w = 0; w < static_cast<int>(occupied_.size()) * kBlockWords; ++w) {
    const bool marked = ((occupied_[static_cast<std::size_t>(w) / kBlockWords] >> (w % kBlockWords)) & 1U) != 0;
    if (marked != (w < itemsCount_ && InternalWord(w) != 0)) return false;
    occupiedWords += marked;
  }
  return occupiedWords == hashCount_;
}

UnitSteps LargeSetsUnit()
{
  return UnitSteps{
      "LargeSets",
      {"ThreadRegistry"},
      [] {
        // A first use of the set on the thread that starts the program; the outcome is
        // not looked at.
        if (!IsMainThread()) return;
        TLSet set;
        set.AddThis(4);
        set.FromString(set.GetText(), u",");
      },
      {},
  };
}

} // namespace fbu
