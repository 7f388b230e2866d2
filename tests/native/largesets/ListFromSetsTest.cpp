#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "collections/LargeSets.h"
#include "support/ErrorText.h"

namespace fbu {
namespace {

// Counts its own releases, so ownership mistakes show as a wrong count (and the
// sanitizer build reports a double release or a leak).
int liveProbes = 0;
class ProbeSet : public TLSet {
public:
  ProbeSet() { ++liveProbes; }
  ~ProbeSet() override { --liveProbes; }
};

std::unique_ptr<TLSet> SetOf(std::initializer_list<std::int32_t> members)
{
  auto s = std::make_unique<ProbeSet>();
  for (const std::int32_t m : members) s->AddThis(m);
  return s;
}

std::vector<std::string> Texts(const TListFromSets& list)
{
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(ToUtf8(list.GetLSet(i)->GetText()));
  return out;
}

using test::ListErrorOf;

TEST(TListFromSets, CreateAndSetSize)
{
  EXPECT_EQ(TListFromSets(3).Count(), 3);
  EXPECT_TRUE(TListFromSets(3).GetLSet(2)->Empty());
  EXPECT_EQ(TListFromSets(0).Count(), 0);
  EXPECT_EQ(TListFromSets().Count(), 0);

  liveProbes = 0;
  {
    TListFromSets list;
    list.Add(SetOf({1}));
    list.Add(SetOf({2}));
    list.Add(SetOf({3}));
    list.SetSize(5, false);
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"1", "2", "3", "", ""}));
    list.SetSize(1, false);
    EXPECT_EQ(liveProbes, 1); // sets 2 and 3 released, once each
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"1"}));
    list.SetSize(2, true);
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"", ""}));

    list.GetLSet(0)->AddThis(9);
    EXPECT_EQ(ListErrorOf([&] { list.SetSize(-2, true); }), "List index out of bounds (-2)");
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"9", ""}));
  }
  EXPECT_EQ(liveProbes, 0); // destroying the list released the rest
}

TEST(TListFromSets, GetLSet)
{
  TListFromSets list(1);
  list.TObjectList::Add(std::make_unique<TObject>());
  list.AddObject(nullptr);
  EXPECT_NE(list.GetLSet(0), nullptr);
  EXPECT_THROW(list.GetLSet(1), EInvalidCast);
  try {
    list.GetLSet(1);
  } catch (const EInvalidCast& e) {
    EXPECT_STREQ(e.what(), "Invalid class typecast");
  }
  EXPECT_EQ(list.LSet(2), nullptr);
  EXPECT_EQ(ListErrorOf([&] { list.GetLSet(3); }), "List index out of bounds (3)");
  EXPECT_EQ(ListErrorOf([&] { list.GetLSet(-1); }), "List index out of bounds (-1)");
}

TEST(TListFromSets, AssignCopiesSetBySet)
{
  TListFromSets source;
  source.Add(SetOf({1, 2}));
  source.Add(SetOf({}));
  source.Add(SetOf({40}));
  TListFromSets shorter(1), longer(5);
  longer.GetLSet(0)->AddThis(77);
  for (TListFromSets* target : {&shorter, &longer}) {
    target->Assign(source);
    EXPECT_EQ(Texts(*target), Texts(source));
    target->GetLSet(0)->AddThis(5);
    EXPECT_EQ(source.GetLSet(0)->GetText(), u"1-2");
  }
}

TEST(TListFromSets, SortByCountAndMakeUnique)
{
  TListFromSets list;
  list.Add(SetOf({1, 2, 3}));
  list.Add(SetOf({9}));
  list.Add(SetOf({4, 5}));
  list.SortByCount();
  EXPECT_EQ(Texts(list), (std::vector<std::string>{"9", "4-5", "1-3"}));

  liveProbes = 0;
  TListFromSets dup;
  dup.Add(SetOf({1})); // A
  dup.Add(SetOf({2})); // B
  dup.Add(SetOf({1})); // A2
  dup.Add(SetOf({3})); // C
  auto b2 = SetOf({2, 100});
  b2->ClearThis(100); // equal to B although its field is longer
  dup.Add(std::move(b2));
  dup.MakeUnique();
  EXPECT_EQ(Texts(dup), (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_EQ(liveProbes, 3);

  TListFromSets one(1), none;
  one.MakeUnique();
  none.MakeUnique();
  EXPECT_EQ(one.Count(), 1);
  EXPECT_EQ(none.Count(), 0);
}

TEST(TListFromSets, QueriesAndUnion)
{
  TListFromSets list;
  TLSet u;
  u.AddThis(500);
  list.UnionTo(u);
  EXPECT_EQ(u.GetText(), u"500");
  EXPECT_EQ(list.FirstThatHas(7), -1);
  EXPECT_FALSE(list.Has(7));

  list.Add(SetOf({1}));
  list.Add(SetOf({7, 8}));
  list.Add(SetOf({2}));
  list.Add(SetOf({7}));
  EXPECT_EQ(list.FirstThatHas(7), 1);
  EXPECT_TRUE(list.Has(2));
  list.UnionTo(u);
  EXPECT_EQ(u.GetText(), u"1-2,7-8,500");
  list.ClearThis(7);
  EXPECT_EQ(list.FirstThatHas(7), -1);
  list.ResetAll();
  for (int i = 0; i < list.Count(); ++i) EXPECT_TRUE(list.GetLSet(i)->Empty());
}

TEST(TListFromSets, AddWithAndWithoutCopy)
{
  liveProbes = 0;
  TLSet mine;
  mine.AddThis(3);
  {
    TListFromSets list;
    EXPECT_EQ(list.Add(mine), 0);
    mine.AddThis(4);
    EXPECT_EQ(list.GetLSet(0)->GetText(), u"3");

    auto given = SetOf({6});
    TLSet* raw = given.get();
    EXPECT_EQ(list.Add(std::move(given)), 1);
    EXPECT_EQ(list.GetLSet(1), raw);
    EXPECT_EQ(liveProbes, 1);
  }
  EXPECT_EQ(liveProbes, 0);
  EXPECT_EQ(mine.GetText(), u"3-4");
}

} // namespace
} // namespace fbu
