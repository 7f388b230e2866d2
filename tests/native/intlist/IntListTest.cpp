// TIntList's behaviour, one table per concern: search and add in each mode and policy,
// refusals, transformations and set operations, and the text form.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "collections/LargeSets.h"
#include "native/intlist/IntListSupport.h"
#include "support/ErrorText.h"

namespace fbu::test {
namespace {

template <class Case> std::string CaseName(const ::testing::TestParamInfo<Case>& info)
{
  return info.param.name;
}

std::unique_ptr<TIntList> MakeList(bool sorted, TDuplicates duplicates, const Values& values = {})
{
  auto list = std::make_unique<TIntList>();
  list->SetSorted(sorted);
  list->SetDuplicates(duplicates);
  Fill(*list, values);
  return list;
}

// ---- Find, IndexOf and Add in each mode and policy ---------------------------------

struct FindCase {
  const char* name;
  bool sorted;
  TDuplicates duplicates;
  Values values;
  std::int32_t value;
  bool found;
  int index;     // Find's position
  int addResult; // -1: Add raises the duplicates error
  Values afterAdd;
};

class FindAndAdd : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindAndAdd, FollowsModeAndPolicy)
{
  const FindCase& c = GetParam();
  const auto owner = MakeList(c.sorted, c.duplicates, c.values);
  TIntList& list = *owner;
  int index = -2;
  EXPECT_EQ(list.Find(c.value, index), c.found);
  EXPECT_EQ(index, c.index);
  EXPECT_EQ(list.IndexOf(c.value), c.found ? c.index : -1);
  if (c.addResult < 0)
    EXPECT_EQ(ListErrorOf([&] { list.Add(c.value); }), "Integer list does not allow duplicates");
  else
    EXPECT_EQ(list.Add(c.value), c.addResult);
  EXPECT_EQ(ValuesOf(list), c.afterAdd);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindAndAdd,
    ::testing::Values(
        FindCase{"UnsortedHitIsLowest", false, dupAccept, {3, 1, 3}, 3, true, 0, 3, {3, 1, 3, 3}},
        FindCase{"UnsortedMiss", false, dupAccept, {3, 1}, 5, false, -1, 2, {3, 1, 5}},
        FindCase{"UnsortedIgnoresPolicy", false, dupError, {1}, 1, true, 0, 1, {1, 1}},
        FindCase{"SortedAcceptLowest", true, dupAccept, {1, 2, 2, 3}, 2, true, 1, 1, {1, 2, 2, 2, 3}},
        FindCase{"SortedMissAtEnd", true, dupAccept, {1, 2, 2, 3}, 4, false, 4, 4, {1, 2, 2, 3, 4}},
        FindCase{"SortedMissAtStart", true, dupAccept, {1, 2, 2, 3}, 0, false, 0, 0, {0, 1, 2, 2, 3}},
        FindCase{"SortedIgnoreKeeps", true, dupIgnore, {3, 5}, 5, true, 1, 1, {3, 5}},
        FindCase{"SortedIgnoreFirstProbe", true, dupIgnore, {2, 2, 2, 2, 2}, 2, true, 2, 2, {2, 2, 2, 2, 2}},
        FindCase{"SortedErrorRefuses", true, dupError, {1, 2, 3}, 2, true, 1, -1, {1, 2, 3}},
        // Values further apart than 2^31 - 1 still order and search consistently.
        FindCase{"SortedExtremes",
                 true,
                 dupAccept,
                 {INT_MIN, 0, INT_MAX},
                 INT_MAX,
                 true,
                 2,
                 2,
                 {INT_MIN, 0, INT_MAX, INT_MAX}},
        FindCase{"SortedExtremesMiss", true, dupAccept, {INT_MIN, INT_MAX}, -1, false, 1, 1, {INT_MIN, -1, INT_MAX}}),
    CaseName<FindCase>);

// ---- Refusals: message, and the list as it was ------------------------------------

struct FailureCase {
  const char* name;
  bool sorted;
  Values values;
  std::function<void(TIntList&)> action;
  std::string message;
};

class Refusal : public ::testing::TestWithParam<FailureCase> {};

TEST_P(Refusal, RaisesAndKeepsTheList)
{
  const FailureCase& c = GetParam();
  const auto owner = MakeList(c.sorted, dupAccept, c.values);
  TIntList& list = *owner;
  EXPECT_EQ(ListErrorOf([&] { c.action(list); }), c.message);
  EXPECT_EQ(ValuesOf(list), c.values);
}

const std::string kSortedOnly = "Operation not allowed on sorted integer list";

INSTANTIATE_TEST_SUITE_P(
    Cases, Refusal,
    ::testing::Values(
        FailureCase{"PutSorted", true, {1, 2}, [](TIntList& l) { l.Put(0, 5); }, kSortedOnly},
        FailureCase{"InsertSortedBeforePosition", true, {1}, [](TIntList& l) { l.Insert(9, 1); }, kSortedOnly},
        FailureCase{
            "InsertNegative", false, {1}, [](TIntList& l) { l.Insert(-1, 1); }, "IntList index out of bounds (-1)"},
        FailureCase{
            "InsertPastCount", false, {1}, [](TIntList& l) { l.Insert(2, 1); }, "IntList index out of bounds (2)"},
        FailureCase{"GetOutside", false, {1, 2}, [](TIntList& l) { l.Get(2); }, "List index out of bounds (2)"},
        FailureCase{"PutOutside", false, {1}, [](TIntList& l) { l.Put(5, 0); }, "List index out of bounds (5)"},
        FailureCase{"FirstEmpty", false, {}, [](TIntList& l) { l.First(); }, "List index out of bounds (0)"},
        FailureCase{"LastEmpty", false, {}, [](TIntList& l) { l.Last(); }, "List index out of bounds (0)"},
        FailureCase{"DeleteLastEmpty", false, {}, [](TIntList& l) { l.DeleteLast(); }, "List index out of bounds (-1)"},
        FailureCase{"DeleteNegative", false, {4}, [](TIntList& l) { l.Delete(-1); }, "List index out of bounds (-1)"},
        FailureCase{"IncrementAllSorted", true, {1}, [](TIntList& l) { l.IncrementAll(1); }, kSortedOnly},
        FailureCase{"ReduceIndexSorted", true, {1, 5}, [](TIntList& l) { l.ReduceIndex(2); }, kSortedOnly},
        FailureCase{"IncreaseIndexSorted", true, {1, 5}, [](TIntList& l) { l.IncreaseIndex(5); }, kSortedOnly},
        FailureCase{
            "NegativeCapacity", false, {}, [](TIntList&) { TIntList bad(-1); }, "List capacity out of bounds (-1)"},
        FailureCase{"FillRandomAboveLimit",
                    false,
                    {7},
                    [](TIntList& l) { l.FillRandom(0, 1 << 26); },
                    "Random fill range of 67108865 values is above the limit of 67108864 values"},
        FailureCase{"FillRandomWidest",
                    false,
                    {7},
                    [](TIntList& l) { l.FillRandom(INT_MIN, INT_MAX); },
                    "Random fill range of 4294967296 values is above the limit of 67108864 values"}),
    CaseName<FailureCase>);

// ---- Transformations, set operations, statistics ----------------------------------

struct ChangeCase {
  const char* name;
  bool sorted;
  Values values;
  std::function<std::int64_t(TIntList&)> action; // its result, 0 when it has none
  Values after;
  std::int64_t result;
};

class Change : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(Change, GivesValuesAndResult)
{
  const ChangeCase& c = GetParam();
  const auto owner = MakeList(c.sorted, dupAccept, c.values);
  TIntList& list = *owner;
  EXPECT_EQ(c.action(list), c.result);
  EXPECT_EQ(ValuesOf(list), c.after);
}

TIntList& Other(const Values& values)
{
  // Alive until the test ends: the cases take it by reference.
  static std::unique_ptr<TIntList> other;
  other = MakeList(false, dupAccept, values);
  return *other;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Change,
    ::testing::Values(
        ChangeCase{"DeleteAtCountIgnored", false, {1, 2}, [](TIntList& l) { l.Delete(2); return 0; }, {1, 2}, 0},
        ChangeCase{"AddRangeToTheTop", false, {}, [](TIntList& l) { l.AddRange(INT_MAX - 1, INT_MAX); return 0; },
                   {INT_MAX - 1, INT_MAX}, 0},
        ChangeCase{"AddRangeInverted", false, {}, [](TIntList& l) { l.AddRange(3, 2); return 0; }, {}, 0},
        ChangeCase{"AddOwnValuesSorted", true, {1, 2}, [](TIntList& l) { return l.Add(l); }, {1, 1, 2, 2}, 2},
        ChangeCase{"AddUniqueFound", false, {4, 3}, [](TIntList& l) { return l.AddUnique(3); }, {4, 3}, 1},
        ChangeCase{"SortedOnThenOff", false, {3, 1, 2}, [](TIntList& l) { l.SetSorted(true); l.SetSorted(false); return l.Sorted(); },
                   {1, 2, 3}, 0},
        ChangeCase{"DescendingFarApart", false, {1, INT_MIN, INT_MAX, 0}, [](TIntList& l) { l.SortDescending(); return 0; },
                   {INT_MAX, 1, 0, INT_MIN}, 0},
        ChangeCase{"SortedIgnoresOtherOrders", true, {1, 2, 3},
                   [](TIntList& l) {
                     l.SortDescending();
                     l.Sort([](TPointer a, TPointer b) { return a < b ? 1 : a > b ? -1 : 0; });
                     return 0;
                   },
                   {1, 2, 3}, 0},
        ChangeCase{"IncrementAllWraps", false, {INT_MAX, 0}, [](TIntList& l) { l.IncrementAll(1); return 0; },
                   {INT_MIN, 1}, 0},
        ChangeCase{"IncrementByZeroSorted", true, {1}, [](TIntList& l) { l.IncrementAll(0); return 0; }, {1}, 0},
        ChangeCase{"ReduceIndex", false, {1, 2, 3, 4}, [](TIntList& l) { l.ReduceIndex(2); return 0; }, {1, 2, 2, 3}, 0},
        ChangeCase{"ReduceIndexNothingAboveSorted", true, {1, 2}, [](TIntList& l) { l.ReduceIndex(5); return 0; }, {1, 2}, 0},
        ChangeCase{"IncreaseIndex", false, {1, 2, 3}, [](TIntList& l) { l.IncreaseIndex(2); return 0; }, {1, 3, 4}, 0},
        ChangeCase{"Unique", false, {3, 1, 3, 2, 1}, [](TIntList& l) { l.Unique(); return 0; }, {3, 1, 2}, 0},
        ChangeCase{"UniqueCount", false, {3, 1, 3, 2, 1}, [](TIntList& l) { return l.UniqueCount(); }, {3, 1, 3, 2, 1}, 3},
        ChangeCase{"Intersect", false, {1, 2, 2, 3}, [](TIntList& l) { l.Intersect(Other({2, 3, 4})); return 0; },
                   {2, 2, 3}, 0},
        ChangeCase{"IntersectCount", false, {1, 2, 2, 3}, [](TIntList& l) { return l.IntersectCount(Other({2, 3, 4})); },
                   {1, 2, 2, 3}, 3},
        ChangeCase{"Union", false, {1, 2}, [](TIntList& l) { l.Union(Other({2, 3, 3})); return 0; }, {1, 2, 3}, 0},
        ChangeCase{"UnionSorted", true, {1, 5}, [](TIntList& l) { l.Union(Other({9, 3, 3})); return 0; }, {1, 3, 5, 9}, 0},
        ChangeCase{"UnionCount", false, {1, 2}, [](TIntList& l) { return l.UnionCount(Other({2, 3})); }, {1, 2}, 3},
        ChangeCase{"UnionCountEmpty", false, {1, 2, 3}, [](TIntList& l) { return l.UnionCount(Other({})); }, {1, 2, 3}, 3},
        ChangeCase{"RemoveListLowestFirst", false, {1, 2, 1, 3, 1}, [](TIntList& l) { return l.Remove(Other({1, 1, 4})); },
                   {2, 3, 1}, 1},
        ChangeCase{"RemoveOwnValues", false, {1, 2, 1}, [](TIntList& l) { return l.Remove(l); }, {}, 1},
        ChangeCase{"RemoveSet", false, {1, 5, 1, 7},
                   [](TIntList& l) {
                     TLSet set;
                     set.AddThis(1);
                     set.AddThis(7);
                     l.RemoveSet(set);
                     return 0;
                   },
                   {5}, 0},
        ChangeCase{"AssignSetKeepsMode", true, {9},
                   [](TIntList& l) {
                     TLSet set;
                     set.AddThis(4);
                     set.AddThis(1);
                     l.Assign(set);
                     return l.Sorted();
                   },
                   {1, 4}, 1},
        ChangeCase{"AssignTakesSortedMode", false, {9},
                   [](TIntList& l) {
                     TIntList sorted = TIntList::CreateSorted();
                     Fill(sorted, {2, 5});
                     l.Assign(sorted);
                     return l.Sorted();
                   },
                   {2, 5}, 1},
        ChangeCase{"AssignAbsentClears", false, {9}, [](TIntList& l) { l.Assign(nullptr); return l.Capacity(); }, {}, 0},
        ChangeCase{"SumWraps", false, {INT_MAX, 1}, [](TIntList& l) { return l.Sum(); }, {INT_MAX, 1}, INT_MIN},
        ChangeCase{"MinMax", false, {3, -7, 5},
                   [](TIntList& l) {
                     std::int32_t lo = 0, hi = 0;
                     return l.GetMin(lo) && l.GetMax(hi) ? std::int64_t{lo} * 100 + hi : -1;
                   },
                   {3, -7, 5}, -695},
        ChangeCase{"MinMaxEmptyUntouched", false, {},
                   [](TIntList& l) {
                     std::int32_t lo = 42, hi = 43;
                     return !l.GetMin(lo) && !l.GetMax(hi) ? std::int64_t{lo} * 100 + hi : -1;
                   },
                   {}, 4243}),
    CaseName<ChangeCase>);

TEST(IntList, CreateSortedUniqueIgnoresRepeats)
{
  TIntList list = TIntList::CreateSortedUnique();
  list.Add(5);
  list.Add(3);
  EXPECT_EQ(list.Add(5), 1);
  EXPECT_EQ(ValuesOf(list), (Values{3, 5}));
  EXPECT_FALSE(list.EqualTo(Other({5, 3})));
  EXPECT_FALSE(list.EqualTo(Other({3})));
  EXPECT_TRUE(list.EqualTo(Other({3, 5})));
}

// ---- FillRandom ---------------------------------------------------------------------

TEST(IntList, FillRandomGivesEachValueOnceWithItsOwnGenerator)
{
  std::srand(7);
  const int expected = std::rand();
  std::srand(7);
  TIntList a = TIntList::CreateRandom(1, 1000);
  TIntList b = TIntList::CreateRandom(1, 1000);
  EXPECT_EQ(std::rand(), expected) << "the process-wide generator was touched";
  EXPECT_FALSE(a.EqualTo(b)) << "two draws of 1000 values gave the same order";
  a.SortIncreasing();
  TIntList range;
  range.AddRange(1, 1000);
  EXPECT_TRUE(a.EqualTo(range));

  TIntList sorted = TIntList::CreateSorted();
  sorted.FillRandom(-2, 2);
  EXPECT_EQ(ValuesOf(sorted), (Values{-2, -1, 0, 1, 2}));
  sorted.FillRandom(5, 4);
  EXPECT_EQ(sorted.Count(), 0);
}

// ---- Text ---------------------------------------------------------------------------

struct TextCase {
  const char* name;
  Text text;
  Text separator;
  TDuplicates sortedPolicy; // dupAccept on an unsorted list unless noted
  bool sorted;
  Values values;
};

class FromText : public ::testing::TestWithParam<TextCase> {};

TEST_P(FromText, AddsTheTokensThatAreIntegers)
{
  const TextCase& c = GetParam();
  const auto owner = MakeList(c.sorted, c.sortedPolicy, {99});
  TIntList& list = *owner;
  list.SetFromText(c.text, c.separator);
  EXPECT_EQ(ValuesOf(list), c.values);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FromText,
    ::testing::Values(TextCase{"SkipsBadTokens", u"1,,x, 2,3 ,4", u",", dupAccept, false, {1, 2, 4}},
                      TextCase{"EmptySeparator", u"7", u"", dupAccept, false, {7}},
                      TextCase{"EmptyText", u"", u",", dupAccept, false, {}},
                      TextCase{"HexTokens", u"$10;-0x1F", u";", dupAccept, false, {16, -31}},
                      TextCase{"NoRanges", u"1-3", u",", dupAccept, false, {}},
                      TextCase{"SeparatorsDoNotOverlap", u"1,,,2", u",,", dupAccept, false, {1}},
                      TextCase{
                          "Extremes", u"-2147483648,2147483647,2147483648", u",", dupAccept, false, {INT_MIN, INT_MAX}},
                      TextCase{"SortedIgnore", u"3,1,3", u",", dupIgnore, true, {1, 3}}),
    CaseName<TextCase>);

TEST(IntList, TextForms)
{
  TIntList list;
  EXPECT_EQ(list.GetText(), u"");
  Fill(list, {1, -2, 3});
  EXPECT_EQ(list.GetText(), u"1,-2,3");
  Fill(list, {INT_MIN, 0});
  EXPECT_EQ(list.ToLine(u"; "), u"-2147483648; 0");
  list.SetText(u"5,6");
  EXPECT_EQ(ValuesOf(list), (Values{5, 6}));

  // With dupError a repeat raises part way; what came before stays.
  const auto owner = MakeList(true, dupError);
  TIntList& strict = *owner;
  EXPECT_EQ(ListErrorOf([&] { strict.SetFromText(u"2,1,2,3", u","); }), "Integer list does not allow duplicates");
  EXPECT_EQ(ValuesOf(strict), (Values{1, 2}));
}

} // namespace
} // namespace fbu::test
