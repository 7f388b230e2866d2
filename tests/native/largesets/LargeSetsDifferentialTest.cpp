// The word-at-a-time TLSet against the one-candidate-at-a-time model: random sets and
// random operation sequences over many seeds; after every operation the bit field, both
// internal counts and every query must be the same.

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

#include "LSetModel.h"
#include "collections/LSetKernels.h"
#include "collections/LargeSets.h"

namespace fbu {
namespace {

using model::ModelSet;

struct Twin {
  TLSet set;
  ModelSet model;
};

::testing::AssertionResult SameState(const TLSet& s, const ModelSet& m)
{
  if (!s.CheckInvariants()) return ::testing::AssertionFailure() << "invariants broken";
  if (s.InternalItemsCount() != m.ItemsCount())
    return ::testing::AssertionFailure() << "InternalItemsCount " << s.InternalItemsCount() << " vs " << m.ItemsCount();
  if (s.InternalHashCount() != m.HashCount())
    return ::testing::AssertionFailure() << "InternalHashCount " << s.InternalHashCount() << " vs " << m.HashCount();
  for (int w = 0; w < m.ItemsCount(); ++w)
    if (s.InternalWord(w) != m.data[static_cast<std::size_t>(w)])
      return ::testing::AssertionFailure()
             << "word " << w << ": " << s.InternalWord(w) << " vs " << m.data[static_cast<std::size_t>(w)];
  return ::testing::AssertionSuccess();
}

std::vector<std::int64_t> Exported(const TLSet& s)
{
  TFastList list;
  list.Add(99); // must be emptied first
  s.ExportToIntegerList(list);
  EXPECT_EQ(list.Capacity(), list.Count());
  return std::vector<std::int64_t>(list.List(), list.List() + list.Count());
}

// Every query of a against the model, and the two-set queries with b.
void ExpectSameQueries(const Twin& a, const Twin& b, const std::vector<std::int64_t>& probes)
{
  const TLSet& s = a.set;
  const ModelSet& m = a.model;
  EXPECT_EQ(s.Empty(), m.Empty());
  EXPECT_EQ(s.Max(), m.Max());
  std::int32_t min1 = -5, max1 = -6, min2 = -5, max2 = -6, min3 = -5, max3 = -6;
  EXPECT_EQ(s.GetMin(min1), m.GetMin(min2));
  EXPECT_EQ(min1, min2);
  EXPECT_EQ(s.GetMax(max1), m.GetMax(max2));
  EXPECT_EQ(max1, max2);
  EXPECT_EQ(s.GetMinMax(min3, max3), !m.Empty());
  EXPECT_EQ(min3, min2);
  EXPECT_EQ(max3, max2);
  EXPECT_EQ(s.MembersCount(), m.MembersCount());
  EXPECT_EQ(Exported(s), m.Export());
  TFastList modelList;
  m.ExportToIntegerList(modelList);
  EXPECT_EQ(std::vector<std::int64_t>(modelList.List(), modelList.List() + modelList.Count()), m.Export());
  for (const TextView sep : {TextView(u","), TextView(u", "), TextView(u"")})
    EXPECT_EQ(ToUtf8(s.ToLine(sep)), ToUtf8(m.ToLine(sep)));
  EXPECT_EQ(s.ISECT_Count(b.set), m.IsectCount(b.model));
  EXPECT_EQ(s.UNION_Count(b.set), m.UnionCount(b.model));
  EXPECT_EQ(s.Has_ISECT(b.set), m.HasIsect(b.model));
  EXPECT_EQ(s.Subset(b.set), m.Subset(b.model));
  EXPECT_EQ(b.set.Subset(s), b.model.Subset(m));
  EXPECT_EQ(s.Equal(b.set), m.Equal(b.model));
  for (const std::int64_t p : probes) {
    const auto v = static_cast<std::int32_t>(p);
    EXPECT_EQ(s.Has(v), m.Has(v)) << v;
    EXPECT_EQ(s.HasOnly(v), m.HasOnly(v)) << v;
  }
}

class Generator {
public:
  Generator(unsigned seed, std::int32_t scale) : rng_(seed), scale_(scale) {}

  std::int32_t Value()
  {
    switch (Pick(12)) {
    case 0: return -1 - Pick(40);
    case 1: return static_cast<std::int32_t>(Pick(3)) * 32 - 1 + Pick(3); // word edges
    case 2: return Pick(2) ? INT_MIN : INT_MAX;
    case 3: return 32000001 + Pick(1000);
    default: return Pick(scale_ + 1);
    }
  }
  // A range bound: near the scale, or one that AddThis drops (below 0, far above the add
  // bound). A range reaching the add bound itself is left to the bound test, since the
  // model's scans of such a set take 32 million steps.
  std::int32_t Bound()
  {
    switch (Pick(10)) {
    case 0: return -1 - Pick(40);
    case 1: return Pick(2) ? INT_MIN : INT_MAX;
    default: return Pick(scale_ + 100);
    }
  }
  // lo plus up to n, without overflow.
  std::int32_t Above(std::int32_t lo, std::int32_t n)
  {
    return static_cast<std::int32_t>(std::min<std::int64_t>(INT_MAX, std::int64_t{lo} + Pick(n)));
  }
  std::int32_t Pick(std::int32_t n)
  {
    return n <= 0 ? 0 : static_cast<std::int32_t>(rng_() % static_cast<unsigned>(n));
  }
  bool Coin() { return (rng_() & 1U) != 0; }

  // Random members in 0..scale, at a random density, or a few runs.
  void Fill(Twin& t)
  {
    t.set.Reset();
    t.model.Reset();
    const std::int32_t density = Pick(100);
    if (Pick(3) == 0) {
      for (int r = Pick(6); r > 0; --r) {
        const std::int32_t lo = Pick(scale_ + 1), hi = lo + Pick(100);
        t.set.AddRange(lo, hi);
        t.model.AddRange(lo, hi);
      }
    } else {
      for (std::int32_t m = 0; m <= scale_; ++m)
        if (Pick(100) < density / 2) {
          t.set.AddThis(m);
          t.model.AddThis(m);
        }
    }
  }

  Text RandomText(TextView sep)
  {
    static const char16_t* const kOddItems[] = {u"",      u" 7 ", u"$10",       u"x1F",        u"0X20",        u"-3",
                                                u"abc",   u"1-",  u"$FFFFFFFF", u"2147483648", u"4 2",         u"+5",
                                                u"\t9\r", u"5-3", u" 0 ",       u"32000001",   u"$FFFFFFFF-4", u"1--2"};
    Text out;
    // With no separator every item runs into the next, so one item only.
    for (int n = sep.empty() ? 1 : Pick(8); n > 0; --n) {
      if (Pick(4) == 0) {
        out += kOddItems[Pick(static_cast<std::int32_t>(std::size(kOddItems)))];
      } else {
        const std::int32_t lo = Pick(scale_ + 1);
        out += IntToText(lo);
        if (Coin()) out += u"-" + IntToText(lo + Pick(70) - 5);
      }
      out += sep;
    }
    if (Coin() && out.size() >= sep.size()) out.resize(out.size() - sep.size());
    return out;
  }

  std::mt19937& Rng() { return rng_; }
  std::int32_t Scale() const { return scale_; }

private:
  std::mt19937 rng_;
  std::int32_t scale_;
};

// One random operation on a (with b as the other set), on both the set and the model.
void RandomOperation(Generator& g, Twin& a, Twin& b, std::string& trace)
{
  const std::int32_t v = g.Value();
  // Some operations take the set itself as the other set.
  Twin& other = g.Pick(8) == 0 ? a : b;
  switch (g.Pick(19)) {
  case 0:
  case 1:
    trace += "AddThis " + std::to_string(v);
    a.set.AddThis(v);
    a.model.AddThis(v);
    break;
  case 2:
    trace += "ClearThis " + std::to_string(v);
    a.set.ClearThis(v);
    a.model.ClearThis(v);
    break;
  case 3: {
    const bool state = g.Coin();
    trace += "SetThisAs " + std::to_string(v) + " " + std::to_string(state);
    a.set.SetThisAs(v, state);
    a.model.SetThisAs(v, state);
    break;
  }
  case 4:
    trace += "InvertThis " + std::to_string(v);
    a.set.InvertThis(v);
    a.model.InvertThis(v);
    break;
  case 5: {
    std::int32_t lo = g.Bound(), hi = g.Coin() ? g.Bound() : g.Above(lo, 200);
    if (hi == INT_MAX && lo < 32000000) lo = 32000001; // wholly above the bound: dropped
    trace += "AddRange " + std::to_string(lo) + " " + std::to_string(hi);
    a.set.AddRange(lo, hi);
    a.model.AddRange(lo, hi);
    break;
  }
  case 6: {
    std::int32_t lo = g.Bound(), hi = g.Bound();
    if (hi == INT_MAX) hi = g.Above(lo, 100);
    trace += "AssignRange " + std::to_string(lo) + " " + std::to_string(hi);
    a.set.AssignRange(lo, hi);
    a.model.AssignRange(lo, hi);
    break;
  }
  case 7: {
    // Kept within the scale so the model's scans stay short; members above the add bound
    // are left to the bound test.
    const std::int32_t from = g.Pick(3) == 0 ? -g.Pick(50) : g.Pick(g.Scale() + 100);
    const std::int32_t upTo = from + g.Pick(g.Scale() + 100) - 50;
    trace += "AssignRest " + std::to_string(from) + " " + std::to_string(upTo);
    a.set.AssignRest(other.set, from, upTo);
    a.model.AssignRest(other.model, from, upTo);
    break;
  }
  case 8: {
    std::vector<std::uint32_t> words(static_cast<std::size_t>(g.Pick(40)));
    for (auto& w : words)
      if (g.Coin()) w = static_cast<std::uint32_t>(g.Rng()()) >> g.Pick(32);
    if (!words.empty() && g.Coin()) words.back() = 0;
    trace += "AssignBitBuffer " + std::to_string(words.size());
    const auto count = static_cast<std::int32_t>(words.size());
    a.set.AssignBitBuffer(words.data(), count);
    a.model.AssignBitBuffer(words.data(), count);
    break;
  }
  case 9: {
    const std::int32_t n = g.Pick(5) == 0 ? -g.Pick(3) - (g.Coin() ? 0 : 1000) : v;
    trace += "ReduceIndex " + std::to_string(n);
    a.set.ReduceIndex(n);
    a.model.ReduceIndex(n);
    break;
  }
  case 10:
    trace += "ISECT";
    a.set.ISECT(other.set);
    a.model.Isect(other.model);
    break;
  case 11:
    trace += "UNION";
    a.set.UNION(other.set);
    a.model.Union(other.model);
    break;
  case 12:
    trace += "ClearSubSet";
    a.set.ClearSubSet(other.set);
    a.model.ClearSubSet(other.model);
    break;
  case 13:
    trace += "Assign";
    if (g.Pick(5) == 0) {
      a.set.Assign(static_cast<const TLSet*>(nullptr));
      a.model.Reset();
    } else {
      a.set.Assign(other.set);
      a.model = ModelSet(other.model);
    }
    break;
  case 14:
    trace += "Reset";
    a.set.Reset();
    a.model.Reset();
    break;
  case 15: {
    static const TextView kSeps[] = {u",", u", ", u";;", u""};
    const TextView sep = kSeps[g.Pick(4)];
    const Text text = g.RandomText(sep);
    trace += "FromString '" + ToUtf8(text) + "' sep '" + ToUtf8(sep) + "'";
    EXPECT_EQ(a.set.FromString(text, sep), a.model.FromString(text, sep)) << trace;
    break;
  }
  case 16: {
    // The text of the other set read back: members above the add bound drop out.
    const TextView sep = g.Coin() ? TextView(u",") : TextView(u" , ");
    trace += "FromString of other's text";
    const Text text = other.set.ToLine(sep);
    EXPECT_EQ(a.set.FromString(text, sep), a.model.FromString(text, sep)) << trace;
    break;
  }
  case 17: {
    TFastList list;
    for (int n = g.Pick(30); n > 0; --n) list.Add(g.Value());
    trace += "ImportFromIntegerList";
    a.set.ImportFromIntegerList(list);
    a.model.Reset();
    for (int i = 0; i < list.Count(); ++i) a.model.AddThis(list.Get(i));
    break;
  }
  default: {
    TFastList list;
    for (int n = g.Pick(30); n > 0; --n) list.Add(g.Value());
    trace += "Assign(list)";
    a.set.Assign(list);
    a.model.Reset();
    for (int i = 0; i < list.Count(); ++i) a.model.AddThis(list.Get(i));
    break;
  }
  }
}

TEST(LargeSetsDifferential, RandomSetsAndOperationsAgreeWithTheModel)
{
  const std::int32_t kScales[] = {0, 31, 64, 300, 2500, 9000};
  for (unsigned seed = 1; seed <= 240; ++seed) {
    const std::int32_t scale = kScales[seed % std::size(kScales)];
    Generator g(seed, scale);
    Twin a, b;
    g.Fill(a);
    g.Fill(b);
    std::string trace;
    for (int step = 0; step < 24; ++step) {
      trace.clear();
      if (g.Coin())
        RandomOperation(g, a, b, trace);
      else
        RandomOperation(g, b, a, trace);
      ASSERT_TRUE(SameState(a.set, a.model)) << "seed " << seed << " step " << step << ": " << trace;
      ASSERT_TRUE(SameState(b.set, b.model)) << "seed " << seed << " step " << step << ": " << trace;
      std::vector<std::int64_t> probes = {0, 1, 31, 32, 63, 64, -1, INT_MAX, INT_MIN, 32000000};
      for (int p = 0; p < 6; ++p) probes.push_back(g.Value());
      std::int32_t top = 0;
      if (a.set.GetMax(top)) probes.insert(probes.end(), {top, top - 1, top + 1});
      SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step) + ": " + trace);
      ExpectSameQueries(a, b, probes);
      ExpectSameQueries(b, a, probes);
      if (HasFailure()) return;
    }
  }
}

// Sets reaching the add bound, with members beyond it; the model's scans run over 32
// million candidates, so few operations and one full comparison.
TEST(LargeSetsDifferential, SetsUpToTheBoundAgreeWithTheModel)
{
  for (unsigned seed = 1; seed <= 2; ++seed) {
    Generator g(seed, 32000000);
    Twin a, b;
    for (int i = 0; i < 3000; ++i) {
      const auto m = static_cast<std::int32_t>(g.Rng()() % 32000001U);
      a.set.AddThis(m);
      a.model.AddThis(m);
    }
    a.set.AddThis(32000000);
    a.model.AddThis(32000000);
    // The upper bound is capped at 32000000.
    const std::int32_t low = 31990000 + g.Pick(50), high = 32000000 + g.Pick(50);
    b.set.AssignRange(low, high);
    b.model.AssignRange(low, high);
    // Members above the add bound.
    a.set.AssignRest(b.set, 31989000, 32000000 + 777);
    a.model.AssignRest(b.model, 31989000, 32000000 + 777);
    for (int i = 0; i < 2000; ++i) {
      const auto m = static_cast<std::int32_t>(g.Rng()() % 32000001U);
      a.set.AddThis(m);
      a.model.AddThis(m);
    }
    ASSERT_TRUE(SameState(a.set, a.model));
    Twin c;
    c.set.Assign(a.set);
    c.model = a.model;
    c.set.ReduceIndex(31999990);
    c.model.ReduceIndex(31999990);
    ASSERT_TRUE(SameState(c.set, c.model));
    c.set.UNION(b.set);
    c.model.Union(b.model);
    ASSERT_TRUE(SameState(c.set, c.model));
    c.set.ClearSubSet(b.set);
    c.model.ClearSubSet(b.model);
    ASSERT_TRUE(SameState(c.set, c.model));
    b.set.ISECT(a.set);
    b.model.Isect(a.model);
    ASSERT_TRUE(SameState(b.set, b.model));
    const Text text = a.set.ToLine(u",");
    EXPECT_EQ(ToUtf8(text), ToUtf8(a.model.ToLine(u",")));
    Twin d;
    EXPECT_TRUE(d.set.FromString(text, u","));
    EXPECT_TRUE(d.model.FromString(text, u","));
    ASSERT_TRUE(SameState(d.set, d.model));
    EXPECT_FALSE(d.set.Has(32000001)); // read back without the members above the bound

    EXPECT_EQ(a.set.MembersCount(), a.model.MembersCount());
    EXPECT_EQ(a.set.ISECT_Count(c.set), a.model.IsectCount(c.model));
    EXPECT_EQ(a.set.UNION_Count(b.set), a.model.UnionCount(b.model));
    EXPECT_EQ(Exported(a.set), a.model.Export());
    EXPECT_EQ(a.set.Max(), a.model.Max());
  }
}

// Every path of the word loops against a bit-by-bit count and decode, on units from
// empty to full; the processor-specific paths where this processor has them.
TEST(LSetKernels, EveryPathAgreesWithBitByBit)
{
  using lset_kernels::Kernels;
  const Kernels& portable = lset_kernels::PortableKernels();
  const Kernels* x86 = lset_kernels::X86Kernels();
  std::mt19937_64 rng(7);
  for (const std::size_t n : {0U, 1U, 3U, 4U, 5U, 63U, 1000U}) {
    std::vector<std::uint64_t> a(n), b(n);
    for (std::size_t i = 0; i < n; ++i) {
      a[i] = i % 5 == 0 ? 0 : rng() & rng();
      b[i] = i % 7 == 0 ? ~std::uint64_t{0} : rng();
    }
    std::int64_t count = 0, andCount = 0, orCount = 0;
    std::vector<std::intptr_t> positions;
    for (std::size_t i = 0; i < n; ++i)
      for (int bit = 0; bit < 64; ++bit) {
        count += (a[i] >> bit) & 1U;
        andCount += ((a[i] & b[i]) >> bit) & 1U;
        orCount += ((a[i] | b[i]) >> bit) & 1U;
        if ((a[i] >> bit) & 1U) positions.push_back(1000 + static_cast<std::intptr_t>(64 * i) + bit);
      }
    std::vector<const Kernels*> countPaths = {&portable, &lset_kernels::ActiveKernels()};
    std::vector<const Kernels*> decodePaths = countPaths;
    if (x86 && lset_kernels::ProcessorHasPopcnt()) countPaths.push_back(x86);
    if (x86 && lset_kernels::ProcessorHasAvx2()) decodePaths.push_back(x86);
    for (const Kernels* k : countPaths) {
      EXPECT_EQ(k->Count(a.data(), n), count) << n;
      EXPECT_EQ(k->CountAnd(a.data(), b.data(), n), andCount) << n;
      EXPECT_EQ(k->CountOr(a.data(), b.data(), n), orCount) << n;
    }
    for (const Kernels* k : decodePaths) {
      std::vector<std::intptr_t> out(positions.size() + lset_kernels::kDecodeSlack, -1);
      const std::intptr_t* end = k->DecodeDense(a.data(), n, 1000, out.data());
      EXPECT_EQ(end, out.data() + positions.size()) << n;
      out.resize(positions.size());
      EXPECT_EQ(out, positions) << n;
    }
  }
}

} // namespace
} // namespace fbu
