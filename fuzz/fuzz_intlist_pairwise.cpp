// TIntList's fast pairwise operations against the one-value-at-a-time model, on two
// lists decoded from the input in every mode pairing.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "../tests/native/intlist/IntListModel.h"
#include "IntListFuzz.h"

namespace {

// Byte 0: modes and value width; then the first list's length (up to 63), then values of
// one byte (narrow: many repeats) or four bytes (the whole 32-bit range), then the second.
void Decode(const std::uint8_t*& p, const std::uint8_t* end, bool wide, fbu::TIntList& list)
{
  if (p == end) return;
  int n = *p++ & 63;
  const std::size_t width = wide ? 4 : 1;
  for (; n > 0 && static_cast<std::size_t>(end - p) >= width; --n, p += width) {
    std::int32_t v = static_cast<std::int8_t>(*p);
    if (wide) std::memcpy(&v, p, 4);
    list.Add(v);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  using namespace fbu;
  if (size < 1) return 0;
  const std::uint8_t flags = data[0];
  const std::uint8_t* p = data + 1;
  TIntList a, b;
  Decode(p, data + size, flags & 4U, a);
  Decode(p, data + size, flags & 4U, b);
  a.SetSorted(flags & 1U);
  b.SetSorted(flags & 2U);

  fuzz::Require(a.IntersectCount(b) == model::IntersectCount(a, b));
  fuzz::Require(a.UnionCount(b) == model::UnionCount(a, b));
  fuzz::Require(a.UniqueCount() == model::UniqueCount(a));
  TIntList x, y;
  const auto reset = [&] {
    x.Assign(a);
    y.Assign(a);
  };
  reset();
  x.Intersect(b);
  model::Intersect(y, b);
  fuzz::Require(x.EqualTo(y));
  reset();
  x.Union(b);
  model::Union(y, b);
  fuzz::Require(x.EqualTo(y));
  reset();
  fuzz::Require(x.Remove(b) == model::Remove(y, b) && x.EqualTo(y));
  reset();
  x.Unique();
  model::Unique(y);
  fuzz::Require(x.EqualTo(y));
  return 0;
}
