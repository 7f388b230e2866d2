// The fast pairwise operations against the one-value-at-a-time model (IntListModel.h),
// on random lists with repeats: every mode pairing, narrow value ranges (the dense
// look-up) and the whole 32-bit range (the sorted look-up).
#include <gtest/gtest.h>

#include <random>

#include "native/intlist/IntListModel.h"

namespace fbu::test {
namespace {

void Random(TIntList& list, std::mt19937& gen, bool sorted, bool wide)
{
  std::uniform_int_distribution<int> length(0, 40);
  std::uniform_int_distribution<std::int32_t> narrow(-12, 12);
  std::uniform_int_distribution<std::int32_t> any(INT32_MIN, INT32_MAX);
  Values pool;
  for (int i = length(gen); i > 0; --i) pool.push_back(wide ? any(gen) : narrow(gen));
  Values values;
  for (int i = length(gen); i > 0 && !pool.empty(); --i) values.push_back(pool[gen() % pool.size()]);
  list.SetSorted(sorted);
  Fill(list, values);
}

TEST(IntListDifferential, FastPairwiseOperationsMatchTheModel)
{
  std::mt19937 gen(20240611);
  for (int round = 0; round < 4000; ++round) {
    const bool wide = round % 4 == 3;
    TIntList a, b;
    Random(a, gen, round % 2 == 1, wide);
    Random(b, gen, round / 2 % 2 == 1, wide);
    if (round % 3 == 0) b.Add(a); // many shared values
    if (round % 5 == 0) b.Assign(a);
    SCOPED_TRACE(testing::Message() << "round " << round << ": " << ToUtf8(a.GetText()) << " / "
                                    << ToUtf8(b.GetText()));

    EXPECT_EQ(a.IntersectCount(b), model::IntersectCount(a, b));
    EXPECT_EQ(a.UnionCount(b), model::UnionCount(a, b));
    EXPECT_EQ(a.UniqueCount(), model::UniqueCount(a));

    const auto check = [&](const char* op, auto fast, auto slow) {
      TIntList x, y;
      x.Assign(a);
      y.Assign(a);
      EXPECT_EQ(fast(x), slow(y)) << op;
      EXPECT_TRUE(x.EqualTo(y)) << op << ": " << ToUtf8(x.GetText()) << " vs " << ToUtf8(y.GetText());
    };
    check(
        "Intersect", [&](TIntList& x) { return x.Intersect(b), 0; },
        [&](TIntList& y) { return model::Intersect(y, b), 0; });
    check(
        "Union", [&](TIntList& x) { return x.Union(b), 0; }, [&](TIntList& y) { return model::Union(y, b), 0; });
    check(
        "Remove", [&](TIntList& x) { return x.Remove(b); }, [&](TIntList& y) { return model::Remove(y, b); });
    check(
        "Unique", [&](TIntList& x) { return x.Unique(), 0; }, [&](TIntList& y) { return model::Unique(y), 0; });
  }
}

} // namespace
} // namespace fbu::test
