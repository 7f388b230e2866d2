#include <gtest/gtest.h>

#include <climits>
#include <initializer_list>
#include <thread>
#include <vector>

#include "collections/LargeSets.h"
#include "tools/GeneralTools.h"
#include "tools/ThreadRegistry.h"

namespace fbu {
namespace {

void Fill(TLSet& s, std::initializer_list<std::int32_t> members)
{
  s.Reset();
  for (const std::int32_t m : members) s.AddThis(m);
}

std::vector<std::int32_t> Members(const TLSet& s)
{
  TFastList list;
  s.ExportToIntegerList(list);
  std::vector<std::int32_t> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(static_cast<std::int32_t>(list.Get(i)));
  return out;
}

std::vector<std::uint8_t> StreamBytes(const TLSet& s)
{
  TMemoryStream stream;
  s.WriteToStream(stream);
  return stream.Bytes();
}

TEST(TLSet, EmptySetAnswers)
{
  TLSet a, b;
  EXPECT_TRUE(a.Empty());
  EXPECT_EQ(a.ToLine(u","), u"");
  EXPECT_EQ(a.MembersCount(), 0);
  std::int32_t min = 11, max = 12;
  EXPECT_FALSE(a.GetMin(min));
  EXPECT_FALSE(a.GetMax(max));
  EXPECT_FALSE(a.GetMinMax(min, max));
  EXPECT_EQ(min, 11);
  EXPECT_EQ(max, 12);
  EXPECT_EQ(a.Max(), -2147483647);
  EXPECT_TRUE(a.Equal(b));
  Fill(b, {3});
  EXPECT_TRUE(a.Subset(b));
  EXPECT_EQ(a.ISECT_Count(b), 0);
  EXPECT_EQ(a.UNION_Count(TLSet()), 0);
  EXPECT_FALSE(a.Has_ISECT(b));
}

TEST(TLSet, AddBoundAndExtent)
{
  TLSet s;
  s.AddThis(32000000);
  EXPECT_EQ(s.InternalItemsCount(), 1000001);
  EXPECT_EQ(s.InternalHashCount(), 1);
  for (const std::int32_t beyond : {32000001, INT_MAX}) s.AddThis(beyond);
  EXPECT_EQ(s.InternalItemsCount(), 1000001);
  EXPECT_EQ(s.MembersCount(), 1);

  // Removing never shrinks the field.
  TLSet z;
  z.AddThis(0);
  z.ClearThis(0);
  EXPECT_EQ(z.InternalItemsCount(), 1);
  EXPECT_EQ(z.InternalHashCount(), 0);
  EXPECT_TRUE(z.Empty());
  z.ClearThis(5000); // beyond the field: nothing
  EXPECT_EQ(z.InternalItemsCount(), 1);
}

TEST(TLSet, NegativeValuesNeverBecomeMembers)
{
  TLSet s;
  s.AddThis(-1);
  s.AddThis(INT_MIN);
  s.SetThisAs(-5, true);
  s.InvertThis(-7);
  EXPECT_EQ(s.InternalItemsCount(), 0);
  EXPECT_FALSE(s.Has(-1));
  EXPECT_FALSE(s.HasOnly(-1));

  s.AddRange(-40, 2);
  EXPECT_EQ(Members(s), (std::vector<std::int32_t>{0, 1, 2}));
  s.AddRange(INT_MIN, -1);
  EXPECT_EQ(s.MembersCount(), 3);

  s.AssignRange(-3, 1);
  EXPECT_EQ(Members(s), (std::vector<std::int32_t>{0, 1}));
  s.AssignRange(INT_MIN, -2);
  EXPECT_TRUE(s.Empty());
  EXPECT_EQ(s.InternalItemsCount(), 0);

  TLSet other;
  Fill(other, {1});
  s.AssignRest(other, -10, 3);
  EXPECT_EQ(Members(s), (std::vector<std::int32_t>{0, 2, 3}));

  // A hexadecimal item that reads as -1 is dropped like any value AddThis refuses.
  EXPECT_TRUE(s.FromString(u"$FFFFFFFF,4", u","));
  EXPECT_EQ(Members(s), (std::vector<std::int32_t>{4}));
  EXPECT_TRUE(s.FromString(u"$FFFFFFFF-2", u","));
  EXPECT_EQ(Members(s), (std::vector<std::int32_t>{0, 1, 2}));

  // Below 0, ReduceIndex moves everything down and member 0 drops out.
  for (const std::int32_t n : {-1, -2, INT_MIN}) {
    Fill(s, {0, 1, 5});
    s.ReduceIndex(n);
    EXPECT_EQ(Members(s), (std::vector<std::int32_t>{0, 4})) << n;
    EXPECT_EQ(s.InternalItemsCount(), 1);
  }
}

TEST(TLSet, TextForm)
{
  struct Case {
    std::initializer_list<std::int32_t> members;
    const char16_t* separator;
    const char16_t* text;
  };
  const Case cases[] = {
      {{1, 2, 3, 5, 7, 8}, u",", u"1-3,5,7-8"},
      {{4, 6}, u", ", u"4, 6"},
      {{4, 5}, u",", u"4-5"},
      {{1, 3}, u"", u"13"},
      {{0}, u",", u"0"},
      {{31, 32, 63, 64}, u",", u"31-32,63-64"},
      {{32000000, 0}, u";", u"0;32000000"},
  };
  for (const auto& c : cases) {
    TLSet s;
    for (const std::int32_t m : c.members) s.AddThis(m);
    EXPECT_EQ(s.ToLine(c.separator), c.text);
  }
  TLSet s;
  s.AddRange(0, 200);
  EXPECT_EQ(s.GetText(), u"0-200");
}

TEST(TLSet, Parsing)
{
  struct Case {
    const char16_t* text;
    bool ok;
    std::vector<std::int32_t> members;
  };
  const Case cases[] = {
      {u"1-3,5", true, {1, 2, 3, 5}},
      {u"5-3", true, {}},
      {u"1,,2", false, {1, 2}},
      {u"1,2,", true, {1, 2}},
      {u" 7 ", true, {7}},
      {u"-3", false, {}},
      {u"x,4", false, {4}},
      {u"32000001", true, {}},
      {u"", true, {}},
      {u",", false, {}},
      {u"$A,0x3-x5", true, {3, 4, 5, 10}},
      {u"1 - 2", true, {1, 2}},
      {u"31999999-40000000", true, {31999999, 32000000}},
      {u"2147483648", false, {}},
  };
  for (const auto& c : cases) {
    TLSet s;
    s.AddThis(99); // replaced by the parse
    EXPECT_EQ(s.FromString(c.text, u","), c.ok) << ToUtf8(c.text);
    EXPECT_EQ(Members(s), c.members) << ToUtf8(c.text);
  }
  TLSet s;
  EXPECT_FALSE(s.FromString(u"1,2", u"")); // one item "1,2"
  EXPECT_TRUE(s.Empty());
  EXPECT_TRUE(s.FromString(u"1, 2, 4-5", u", "));
  EXPECT_EQ(Members(s), (std::vector<std::int32_t>{1, 2, 4, 5}));
}

TEST(TLSet, StreamForm)
{
  TLSet s;
  s.AddThis(4);
  EXPECT_EQ(StreamBytes(s), (std::vector<std::uint8_t>{2, 0, 0, 0, '4', 0}));
  EXPECT_EQ(StreamBytes(TLSet()), (std::vector<std::uint8_t>{0, 0, 0, 0}));
  Fill(s, {1, 2, 3, 5});
  EXPECT_EQ(StreamBytes(s), (std::vector<std::uint8_t>{10, 0, 0, 0, '1', 0, '-', 0, '3', 0, ',', 0, '5', 0}));

  // Two sets one after the other read back in order.
  TLSet t;
  t.AssignRange(100, 300);
  TMemoryStream stream;
  s.WriteToStream(stream);
  t.WriteToStream(stream);
  stream.SetPosition(0);
  TLSet r1, r2;
  EXPECT_TRUE(r1.ReadFromStream(&stream));
  EXPECT_TRUE(r2.ReadFromStream(&stream));
  EXPECT_TRUE(r1.Equal(s));
  EXPECT_TRUE(r2.Equal(t));
  // Nothing left: false, and the set is emptied.
  EXPECT_FALSE(r1.ReadFromStream(&stream));
  EXPECT_TRUE(r1.Empty());
  EXPECT_FALSE(r1.ReadFromStream(nullptr));

  // Fewer than 4 bytes after the position, or a count above what is left.
  for (const std::vector<std::uint8_t>& bytes :
       {std::vector<std::uint8_t>{2, 0, 0}, std::vector<std::uint8_t>{4, 0, 0, 0, '4', 0}}) {
    TMemoryStream short_;
    short_.Write(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    short_.SetPosition(0);
    TLSet r;
    r.AddThis(1);
    EXPECT_FALSE(r.ReadFromStream(&short_));
    EXPECT_TRUE(r.Empty());
  }

  // A bad item still reads what parsed, with a false result.
  TMemoryStream bad;
  WriteStringToStream(u"1,x,3", bad);
  bad.SetPosition(0);
  TLSet r;
  EXPECT_FALSE(r.ReadFromStream(&bad));
  EXPECT_EQ(Members(r), (std::vector<std::int32_t>{1, 3}));
}

TEST(TLSet, MembersAboveTheBoundPrintButDoNotReadBack)
{
  TLSet s;
  s.AssignRest(TLSet(), 31999999, 32000002);
  EXPECT_EQ(s.GetText(), u"31999999-32000002");
  TMemoryStream stream;
  s.WriteToStream(stream);
  stream.SetPosition(0);
  TLSet r;
  EXPECT_TRUE(r.ReadFromStream(&stream));
  EXPECT_EQ(r.GetText(), u"31999999-32000000");
}

TEST(TLSet, ReduceIndex)
{
  struct Case {
    std::initializer_list<std::int32_t> before;
    std::int32_t n;
    std::vector<std::int32_t> after;
  };
  const Case cases[] = {
      {{1, 2, 3, 5}, 2, {1, 2, 4}}, {{1, 3}, 2, {1, 2}}, {{2}, 2, {2}}, {{0, 64, 65, 200}, 63, {0, 63, 64, 199}},
      {{5}, INT_MAX, {5}},
  };
  for (const auto& c : cases) {
    TLSet s;
    Fill(s, c.before);
    const int extent = s.InternalItemsCount();
    s.ReduceIndex(c.n);
    EXPECT_EQ(Members(s), c.after);
    EXPECT_EQ(s.InternalItemsCount(), extent);
  }
  // Members above the add bound move down as well (adding them one at a time with the
  // bounded add would lose them).
  TLSet s;
  s.AssignRest(TLSet(), 32000005, 32000006);
  s.ReduceIndex(0);
  EXPECT_EQ(s.GetText(), u"32000004-32000005");
}

TEST(TLSet, AssigningOperations)
{
  TLSet s, other;
  Fill(other, {2, 3});
  s.AssignRest(other, 0, 5);
  EXPECT_EQ(Members(s), (std::vector<std::int32_t>{0, 1, 4, 5}));
  s.AssignRest(other, 6, 5);
  EXPECT_TRUE(s.Empty());
  EXPECT_EQ(s.InternalItemsCount(), 0);

  s.AssignRange(3, 1);
  EXPECT_TRUE(s.Empty());
  Fill(s, {1000, 2});
  s.AssignRange(5, 9);
  EXPECT_EQ(s.GetText(), u"5-9");
  s.AssignRange(5, INT_MAX);
  EXPECT_EQ(s.GetText(), u"5-32000000");
  EXPECT_EQ(s.MembersCount(), 32000000 - 4);

  const std::uint32_t words[] = {5, 0, 0};
  s.AssignBitBuffer(words, 3);
  EXPECT_EQ(Members(s), (std::vector<std::int32_t>{0, 2}));
  EXPECT_EQ(s.InternalItemsCount(), 1);
  EXPECT_EQ(s.InternalHashCount(), 1);
  const std::uint32_t zeros[] = {0, 0};
  s.AssignBitBuffer(zeros, 2);
  EXPECT_TRUE(s.Empty());
  EXPECT_EQ(s.InternalItemsCount(), 0);
  const std::uint32_t high[] = {0, 0x80000001U};
  s.AssignBitBuffer(high, 2);
  EXPECT_EQ(Members(s), (std::vector<std::int32_t>{32, 63}));
  s.AssignBitBuffer(high, 0);
  EXPECT_TRUE(s.Empty());

  TFastList list;
  for (const TPointer v : {7, -1, 32000001, 3, 7}) list.Add(v);
  s.Assign(list);
  EXPECT_EQ(Members(s), (std::vector<std::int32_t>{3, 7}));
  s.Assign(static_cast<const TList*>(nullptr));
  EXPECT_TRUE(s.Empty());
  s.ImportFromIntegerList(list);
  EXPECT_EQ(Members(s), (std::vector<std::int32_t>{3, 7}));
  s.Assign(static_cast<const TLSet*>(nullptr));
  EXPECT_TRUE(s.Empty());
}

TEST(TLSet, SetAlgebraAndComparisons)
{
  TLSet a, b;
  Fill(a, {5});
  EXPECT_TRUE(a.HasOnly(5));
  Fill(b, {5, 6});
  EXPECT_FALSE(b.HasOnly(5));
  EXPECT_FALSE(TLSet().HasOnly(5));
  Fill(b, {5, 100});
  b.ClearThis(100);
  EXPECT_TRUE(b.HasOnly(5));

  // Equal ignores the zero words at the top of the field.
  TLSet one, lost;
  Fill(one, {1});
  Fill(lost, {1, 100});
  lost.ClearThis(100);
  EXPECT_TRUE(one.Equal(lost));
  EXPECT_TRUE(lost.Equal(one));
  EXPECT_EQ(one.InternalItemsCount(), 1);
  EXPECT_EQ(lost.InternalItemsCount(), 4);

  Fill(a, {1, 40});
  Fill(b, {1});
  a.ISECT(b);
  EXPECT_EQ(Members(a), (std::vector<std::int32_t>{1}));
  EXPECT_EQ(a.InternalItemsCount(), 1);
  Fill(a, {1});
  Fill(b, {40});
  a.UNION(b);
  EXPECT_EQ(Members(a), (std::vector<std::int32_t>{1, 40}));
  EXPECT_EQ(a.InternalItemsCount(), 2);
  EXPECT_EQ(a.InternalHashCount(), 2);

  a.ClearSubSet(b);
  EXPECT_EQ(Members(a), (std::vector<std::int32_t>{1}));
  EXPECT_EQ(a.InternalItemsCount(), 2);
  EXPECT_EQ(a.InternalHashCount(), 1);
  EXPECT_TRUE(a.Subset(one));
  EXPECT_FALSE(b.Subset(one));

  // A set as its own other.
  Fill(a, {3, 90});
  a.UNION(a);
  a.ISECT(a);
  EXPECT_EQ(Members(a), (std::vector<std::int32_t>{3, 90}));
  a.AssignRest(a, 0, 4);
  EXPECT_EQ(a.GetText(), u"0-4");
  a.ClearSubSet(a);
  EXPECT_TRUE(a.Empty());
  EXPECT_EQ(a.InternalItemsCount(), 1);

  TListFromSets sets;
  sets.Add(one);
  sets.Add(std::make_unique<TLSet>());
  sets.GetLSet(1)->AddRange(10, 12);
  Fill(a, {1, 2, 10, 13});
  a.ClearSubSet(sets);
  EXPECT_EQ(Members(a), (std::vector<std::int32_t>{2, 13}));
}

TEST(TLSet, StartupStepRunsOnTheMainThreadOnly)
{
  UnitSteps unit = LargeSetsUnit();
  EXPECT_EQ(unit.name, "LargeSets");
  EXPECT_EQ(unit.needs, (std::vector<std::string>{"ThreadRegistry"}));
  EXPECT_FALSE(unit.shutdown);
  StartupSequence sequence;
  sequence.Register(ThreadRegistryUnit());
  sequence.Register(LargeSetsUnit());
  sequence.Startup();
  EXPECT_EQ(sequence.StartedUnits(), (std::vector<std::string>{"ThreadRegistry", "LargeSets"}));
  // From another thread the step is skipped; it raises nothing there either.
  EXPECT_NO_THROW(std::thread([&] { unit.startup(); }).join());
  sequence.Shutdown();
}

} // namespace
} // namespace fbu
