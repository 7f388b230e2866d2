#pragma once
// Look-up of the values of an integer list, for TIntList's pairwise operations.
//
// ValueIndex gives each distinct value of a list a slot number, so an operation can
// keep one mark or one counter per value in a flat array instead of searching a list
// per value. Two layouts, chosen by the spread of the values:
//   dense  (max - min < 4 * count + 4096): slot = value - min, with a bit per slot
//          telling which values occur. Build O(n), look-up O(1), memory range / 8 bytes.
//   sparse (otherwise): the distinct values sorted; slot = rank. Build O(n log n),
//          look-up O(log n), memory 4 bytes per distinct value.
// Either way Slot(v) is -1 exactly when v is not among the values.

#include <cstdint>
#include <vector>

#include "base/List.h"

namespace fbu::intlist_kernels {

// One bit per slot.
class BitMarks {
public:
  explicit BitMarks(std::int64_t bits) : words_(static_cast<std::size_t>((bits + 63) / 64), 0) {}
  bool Test(std::int64_t i) const noexcept { return (words_[static_cast<std::size_t>(i >> 6)] >> (i & 63)) & 1U; }
  void Set(std::int64_t i) noexcept { words_[static_cast<std::size_t>(i >> 6)] |= std::uint64_t{1} << (i & 63); }
  // Sets bit i and tells whether it was clear.
  bool TestAndSet(std::int64_t i) noexcept
  {
    std::uint64_t& w = words_[static_cast<std::size_t>(i >> 6)];
    const std::uint64_t bit = std::uint64_t{1} << (i & 63);
    const bool was = (w & bit) != 0;
    w |= bit;
    return !was;
  }
  std::int64_t CountSet() const noexcept;

private:
  std::vector<std::uint64_t> words_;
};

class ValueIndex {
public:
  // The values are list slots holding sign-extended 32-bit integers.
  ValueIndex(const TPointer* values, int count);

  // Number of slot numbers in use: Slot(v) < Slots() for every v.
  std::int64_t Slots() const noexcept { return dense_ ? range_ : static_cast<std::int64_t>(sorted_.size()); }
  // Number of distinct values.
  std::int64_t Distinct() const noexcept { return distinct_; }

  std::int64_t Slot(std::int32_t v) const noexcept
  {
    if (dense_) {
      const std::uint32_t offset = static_cast<std::uint32_t>(v) - static_cast<std::uint32_t>(min_);
      return offset < static_cast<std::uint64_t>(range_) && present_.Test(offset) ? static_cast<std::int64_t>(offset)
                                                                                  : -1;
    }
    return SparseSlot(v);
  }

private:
  std::int64_t SparseSlot(std::int32_t v) const noexcept;

  bool dense_ = true;
  std::int32_t min_ = 0;
  std::int64_t range_ = 0;
  std::int64_t distinct_ = 0;
  BitMarks present_{0};
  std::vector<std::int32_t> sorted_;
};

} // namespace fbu::intlist_kernels
