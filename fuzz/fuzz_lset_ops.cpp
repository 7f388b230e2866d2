// Differential: the word-at-a-time TLSet against the one-at-a-time model of the unit tests
// (tests/native/largesets/LSetModel.h), on two sets and a sequence of operations decoded
// from the input. After every operation both sets must hold the same words and counts,
// and at the end every query must give the same answer. Values stay within a small
// scale, plus a few edge values none of which is at the add bound, so the model's
// candidate-by-candidate scans stay fast; sets reaching the bound are the unit test's.
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "collections/LargeSets.h"
#include "native/largesets/LSetModel.h"

namespace {

using fbu::TLSet;
using fbu::model::ModelSet;

struct Twin {
  TLSet set;
  ModelSet model;
};

void Check(bool ok)
{
  if (!ok) __builtin_trap();
}

class Decoder {
public:
  Decoder(const std::uint8_t* data, std::size_t size) : in_(data, size)
  {
    scale_ = in_.PickValueInArray<std::int32_t>({0, 31, 64, 300, 2500});
  }
  bool More() { return in_.remaining_bytes() > 0; }
  int Pick(int n) { return in_.ConsumeIntegralInRange(0, n - 1); }
  bool Coin() { return in_.ConsumeBool(); }
  // A member candidate: mostly within the scale, sometimes one of the edges.
  std::int32_t Value()
  {
    if (Pick(8) == 0) return in_.PickValueInArray<std::int32_t>({-1, -40, 31, 32, 63, 64, INT_MIN, INT_MAX, 32000001});
    return in_.ConsumeIntegralInRange<std::int32_t>(0, scale_);
  }
  std::int32_t Bound() { return in_.ConsumeIntegralInRange<std::int32_t>(-40, scale_ + 100); }
  std::uint32_t Word() { return in_.ConsumeIntegral<std::uint32_t>(); }
  fbu::Text ShortText()
  {
    const std::string bytes = in_.ConsumeRandomLengthString(16);
    return fbu::Text(bytes.begin(), bytes.end());
  }

private:
  FuzzedDataProvider in_;
  std::int32_t scale_ = 0;
};

void SameState(const Twin& t)
{
  Check(t.set.CheckInvariants());
  Check(t.set.InternalItemsCount() == t.model.ItemsCount());
  Check(t.set.InternalHashCount() == t.model.HashCount());
  for (int w = 0; w < t.model.ItemsCount(); ++w)
    Check(t.set.InternalWord(w) == t.model.data[static_cast<std::size_t>(w)]);
}

void SameQueries(const Twin& a, const Twin& b, std::int32_t probe)
{
  const TLSet& s = a.set;
  const ModelSet& m = a.model;
  Check(s.Empty() == m.Empty() && s.Max() == m.Max() && s.MembersCount() == m.MembersCount());
  std::int32_t min1 = -5, max1 = -6, min2 = -5, max2 = -6;
  Check(s.GetMinMax(min1, max1) == m.GetMin(min2) && m.GetMax(max2) == !m.Empty() && min1 == min2 && max1 == max2);
  std::int32_t min3 = -5, max3 = -6;
  Check(s.GetMin(min3) == !m.Empty() && s.GetMax(max3) == !m.Empty() && min3 == min2 && max3 == max2);
  fbu::TFastList list;
  s.ExportToIntegerList(list);
  Check(list.Capacity() == list.Count());
  Check(std::vector<std::int64_t>(list.List(), list.List() + list.Count()) == m.Export());
  Check(s.ToLine(u",") == m.ToLine(u","));
  Check(s.ISECT_Count(b.set) == m.IsectCount(b.model) && s.UNION_Count(b.set) == m.UnionCount(b.model));
  Check(s.Has_ISECT(b.set) == m.HasIsect(b.model) && s.Equal(b.set) == m.Equal(b.model));
  Check(s.Subset(b.set) == m.Subset(b.model) && b.set.Subset(s) == b.model.Subset(m));
  for (const std::int64_t p : {std::int64_t{probe}, std::int64_t{max2} - 1, std::int64_t{max2} + 1, std::int64_t{min2}})
    if (p >= INT_MIN && p <= INT_MAX) {
      const auto v = static_cast<std::int32_t>(p);
      Check(s.Has(v) == m.Has(v) && s.HasOnly(v) == m.HasOnly(v));
    }
}

void Operate(Decoder& in, Twin& a, const Twin& other)
{
  switch (in.Pick(17)) {
  case 0: {
    const std::int32_t v = in.Value();
    a.set.AddThis(v);
    a.model.AddThis(v);
    break;
  }
  case 1: {
    const std::int32_t v = in.Value();
    a.set.ClearThis(v);
    a.model.ClearThis(v);
    break;
  }
  case 2: {
    const std::int32_t v = in.Value();
    const bool state = in.Coin();
    a.set.SetThisAs(v, state);
    a.model.SetThisAs(v, state);
    break;
  }
  case 3: {
    const std::int32_t v = in.Value();
    a.set.InvertThis(v);
    a.model.InvertThis(v);
    break;
  }
  case 4: {
    // Either within the scale, or wholly beyond the add bound (nothing added).
    const bool beyond = in.Pick(8) == 0;
    const std::int32_t low = beyond ? 32000001 : in.Bound(), high = beyond ? INT_MAX : in.Bound();
    a.set.AddRange(low, high);
    a.model.AddRange(low, high);
    break;
  }
  case 5: {
    const std::int32_t low = in.Bound(), high = in.Bound();
    a.set.AssignRange(low, high);
    a.model.AssignRange(low, high);
    break;
  }
  case 6: {
    const std::int32_t from = in.Bound(), upTo = in.Bound();
    a.set.AssignRest(other.set, from, upTo);
    a.model.AssignRest(other.model, from, upTo);
    break;
  }
  case 7: {
    std::vector<std::uint32_t> words(static_cast<std::size_t>(in.Pick(41)));
    for (auto& w : words) w = in.Coin() ? 0 : in.Word();
    a.set.AssignBitBuffer(words.data(), static_cast<std::int32_t>(words.size()));
    a.model.AssignBitBuffer(words.data(), static_cast<std::int32_t>(words.size()));
    break;
  }
  case 8: {
    const std::int32_t n = in.Value();
    a.set.ReduceIndex(n);
    a.model.ReduceIndex(n);
    break;
  }
  case 9:
    a.set.ISECT(other.set);
    a.model.Isect(other.model);
    break;
  case 10:
    a.set.UNION(other.set);
    a.model.Union(other.model);
    break;
  case 11:
    a.set.ClearSubSet(other.set);
    a.model.ClearSubSet(other.model);
    break;
  case 12:
    a.set.Assign(other.set);
    a.model = ModelSet(other.model);
    break;
  case 13:
    a.set.Reset();
    a.model.Reset();
    break;
  case 14: {
    const fbu::TextView separators[] = {u",", u", ", u""};
    const fbu::TextView separator = separators[in.Pick(3)];
    const fbu::Text text = in.ShortText();
    // The model adds range values one at a time: skip texts whose ranges reach far.
    TLSet probe;
    probe.FromString(text, separator);
    if (probe.Max() > 5000) break;
    Check(a.set.FromString(text, separator) == a.model.FromString(text, separator));
    break;
  }
  case 15: {
    // The other set's text read back: members above the add bound drop out.
    const fbu::Text text = other.set.ToLine(u",");
    Check(a.set.FromString(text, u",") == a.model.FromString(text, u","));
    break;
  }
  default: {
    fbu::TFastList list;
    for (int n = in.Pick(30); n > 0; --n) list.Add(in.Value());
    if (in.Coin())
      a.set.ImportFromIntegerList(list);
    else
      a.set.Assign(list);
    a.model.Reset();
    for (int i = 0; i < list.Count(); ++i) a.model.AddThis(list.Get(i));
    break;
  }
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  Decoder in(data, size);
  Twin twins[2];
  // The words and counts after every operation; the queries at the end (each shorter
  // sequence is an input of its own).
  for (int step = 0; step < 64 && in.More(); ++step) {
    Twin& a = twins[in.Pick(2)];
    // Now and then the set is its own other set.
    const Twin& other = in.Pick(8) == 0 ? a : (&a == &twins[0] ? twins[1] : twins[0]);
    Operate(in, a, other);
    for (const Twin& t : twins) SameState(t);
  }
  const std::int32_t probe = in.Value();
  SameQueries(twins[0], twins[1], probe);
  SameQueries(twins[1], twins[0], probe);
  return 0;
}
