#include "collections/IntListKernels.h"

#include <algorithm>
#include <bit>

namespace fbu::intlist_kernels {

std::int64_t BitMarks::CountSet() const noexcept
{
  std::int64_t n = 0;
  for (const std::uint64_t w : words_) n += std::popcount(w);
  return n;
}

ValueIndex::ValueIndex(const TPointer* values, int count)
{
  if (count <= 0) return;
  std::int32_t lo = static_cast<std::int32_t>(values[0]);
  std::int32_t hi = lo;
  for (int i = 1; i < count; ++i) {
    const auto v = static_cast<std::int32_t>(values[i]);
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  const std::int64_t range = static_cast<std::int64_t>(hi) - lo + 1;
  dense_ = range <= 4 * static_cast<std::int64_t>(count) + 4096;
  if (dense_) {
    min_ = lo;
    range_ = range;
    present_ = BitMarks(range);
    for (int i = 0; i < count; ++i)
      present_.Set(static_cast<std::uint32_t>(static_cast<std::int32_t>(values[i])) - static_cast<std::uint32_t>(lo));
    distinct_ = present_.CountSet();
    return;
  }
  sorted_.resize(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) sorted_[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(values[i]);
  std::sort(sorted_.begin(), sorted_.end());
  sorted_.erase(std::unique(sorted_.begin(), sorted_.end()), sorted_.end());
  distinct_ = static_cast<std::int64_t>(sorted_.size());
}

std::int64_t ValueIndex::SparseSlot(std::int32_t v) const noexcept
{
  const auto it = std::lower_bound(sorted_.begin(), sorted_.end(), v);
  return it != sorted_.end() && *it == v ? it - sorted_.begin() : -1;
}

} // namespace fbu::intlist_kernels
