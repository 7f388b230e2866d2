// TIntList's behaviour, one table per concern: search and add in each mode and policy,
// the other operations with their refusals, and the text form.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "collections/LargeSets.h"
#include "native/intlist/IntListModel.h"

namespace fbu::test {
namespace {

std::unique_ptr<TIntList> MakeList(bool sorted, TDuplicates duplicates, const Values& values)
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
  int index; // Find's position (found when the value is held)
  std::string add;
  Values afterAdd;
};

class FindAndAdd : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindAndAdd, FollowsModeAndPolicy)
{
  const FindCase& c = GetParam();
  const auto list = MakeList(c.sorted, c.duplicates, c.values);
  const bool held = std::find(c.values.begin(), c.values.end(), c.value) != c.values.end();
  int index = -2;
  EXPECT_EQ(list->Find(c.value, index), held);
  EXPECT_EQ(index, c.index);
  EXPECT_EQ(list->IndexOf(c.value), held ? c.index : -1);
  EXPECT_EQ(Outcome([&] { return list->Add(c.value); }), c.add);
  EXPECT_EQ(ValuesOf(*list), c.afterAdd);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindAndAdd,
    ::testing::Values(
        FindCase{"UnsortedHitIsLowest", false, dupAccept, {3, 1, 3}, 3, 0, "3", {3, 1, 3, 3}},
        FindCase{"UnsortedIgnoresPolicy", false, dupError, {1}, 1, 0, "1", {1, 1}},
        FindCase{"SortedAcceptLowest", true, dupAccept, {1, 2, 2, 3}, 2, 1, "1", {1, 2, 2, 2, 3}},
        FindCase{"SortedMissAtEnd", true, dupAccept, {1, 2, 2, 3}, 4, 4, "4", {1, 2, 2, 3, 4}},
        FindCase{"SortedIgnoreKeeps", true, dupIgnore, {3, 5}, 5, 1, "1", {3, 5}},
        FindCase{"SortedIgnoreFirstProbe", true, dupIgnore, {2, 2, 2, 2, 2}, 2, 2, "2", {2, 2, 2, 2, 2}},
        FindCase{
            "SortedErrorRefuses", true, dupError, {1, 2, 3}, 2, 1, "Integer list does not allow duplicates", {1, 2, 3}},
        // Values further apart than 2^31 - 1 still order and search consistently.
        FindCase{"SortedFarApart", true, dupAccept, {INT_MIN, INT_MAX}, -1, 1, "1", {INT_MIN, -1, INT_MAX}},
        FindCase{"SortedFarApartHit",
                 true,
                 dupAccept,
                 {INT_MIN, 0, INT_MAX},
                 INT_MAX,
                 2,
                 "2",
                 {INT_MIN, 0, INT_MAX, INT_MAX}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Other operations: values after, and the result or the refusal -----------------

struct OpCase {
  const char* name;
  bool sorted;
  Values values;
  std::function<std::int64_t(TIntList&)> action;
  std::string outcome; // the result, or the message of the refusal
  Values after;
};

class Operation : public ::testing::TestWithParam<OpCase> {};

TEST_P(Operation, GivesResultAndValues)
{
  const OpCase& c = GetParam();
  const auto list = MakeList(c.sorted, dupAccept, c.values);
  EXPECT_EQ(Outcome([&] { return c.action(*list); }), c.outcome);
  EXPECT_EQ(ValuesOf(*list), c.after);
}

TLSet& SetOf(std::initializer_list<std::int32_t> members)
{
  static TLSet set;
  set.Clear();
  for (const std::int32_t m : members) set.AddThis(m);
  return set;
}

const std::string kSorted = "Operation not allowed on sorted integer list";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, Operation, ::testing::Values(
    OpCase{"PutSorted", true, {1, 2}, [](TIntList& l) { l.Put(0, 5); return 0; }, kSorted, {1, 2}},
    OpCase{"InsertSortedBeforePosition", true, {1}, [](TIntList& l) { l.Insert(9, 1); return 0; }, kSorted, {1}},
    OpCase{"InsertNegative", false, {1}, [](TIntList& l) { l.Insert(-1, 1); return 0; }, "IntList index out of bounds (-1)", {1}},
    OpCase{"DeleteAtCountIgnored", false, {1, 2}, [](TIntList& l) { l.Delete(2); return 0; }, "0", {1, 2}},
    OpCase{"NegativeCapacity", false, {}, [](TIntList&) { TIntList bad(-1); return 0; }, "List capacity out of bounds (-1)", {}},
    OpCase{"AddOwnValuesSorted", true, {1, 2}, [](TIntList& l) { return l.Add(l); }, "2", {1, 1, 2, 2}},
    OpCase{"SortedOnThenOff", false, {3, 1, 2}, [](TIntList& l) { l.SetSorted(true); l.SetSorted(false); return l.Sorted(); }, "0", {1, 2, 3}},
    OpCase{"DescendingFarApart", false, {1, INT_MIN, INT_MAX, 0}, [](TIntList& l) { l.SortDescending(); return 0; }, "0", {INT_MAX, 1, 0, INT_MIN}},
    OpCase{"SortedKeepsItsOrder", true, {1, 2, 3}, [](TIntList& l) { l.SortDescending(); l.Sort([](TPointer a, TPointer b) { return int(b - a); }); return 0; }, "0", {1, 2, 3}},
    OpCase{"IncrementAllWraps", false, {INT_MAX, 0}, [](TIntList& l) { l.IncrementAll(1); return 0; }, "0", {INT_MIN, 1}},
    OpCase{"IncrementAllSorted", true, {1}, [](TIntList& l) { l.IncrementAll(1); return 0; }, kSorted, {1}},
    OpCase{"ReduceIndex", false, {1, 2, 3, 4}, [](TIntList& l) { l.ReduceIndex(2); return 0; }, "0", {1, 2, 2, 3}},
    OpCase{"ReduceIndexSorted", true, {1, 5}, [](TIntList& l) { l.ReduceIndex(2); return 0; }, kSorted, {1, 5}},
    OpCase{"IncreaseIndex", false, {1, 2, 3}, [](TIntList& l) { l.IncreaseIndex(2); return 0; }, "0", {1, 3, 4}},
    OpCase{"TextForms", false, {INT_MIN, -2, 3}, [](TIntList& l) { return l.GetText() == u"-2147483648,-2,3" && l.ToLine(u"; ") == u"-2147483648; -2; 3" && TIntList().GetText().empty(); }, "1", {INT_MIN, -2, 3}},
    OpCase{"Unique", false, {3, 1, 3, 2, 1}, [](TIntList& l) { l.Unique(); return 0; }, "0", {3, 1, 2}},
    OpCase{"RemoveOwnValues", false, {1, 2, 1}, [](TIntList& l) { return l.Remove(l); }, "1", {}},
    OpCase{"RemoveSetEveryOccurrence", false, {1, 5, 1, 7}, [](TIntList& l) { l.RemoveSet(SetOf({1, 7})); return 0; }, "0", {5}},
    OpCase{"AssignSetKeepsMode", true, {9}, [](TIntList& l) { l.Assign(SetOf({4, 1})); return l.Sorted(); }, "1", {1, 4}},
    OpCase{"AssignTakesUnsortedMode", true, {9}, [](TIntList& l) { TIntList o; o.Add(5); o.Add(2); l.Assign(o); return l.Sorted(); }, "0", {5, 2}},
    OpCase{"SumWraps", false, {INT_MAX, 1}, [](TIntList& l) { return l.Sum(); }, std::to_string(INT_MIN), {INT_MAX, 1}},
    OpCase{"MinMax", false, {3, -7, 5}, [](TIntList& l) { std::int32_t lo = 0, hi = 0; return l.GetMin(lo) && l.GetMax(hi) ? lo * 100 + hi : -1; }, "-695", {3, -7, 5}},
    OpCase{"FillRandomAboveLimit", false, {7}, [](TIntList& l) { l.FillRandom(0, 1 << 26); return 0; },
           "Random fill range of 67108865 values is above the limit of 67108864 values", {7}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(IntList, ToLineRefusesALineNoSizeCanHold)
{
  if (sizeof(std::size_t) > 4) GTEST_SKIP() << "only a 32-bit size wraps at this length";
  TIntList list;
  for (int i = 0; i < 65536; ++i) list.Add(i);
  EXPECT_THROW(list.ToLine(Text(65526, u'-')), std::length_error);
}

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
  b.Clear();
  b.AddRange(1, 1000);
  EXPECT_TRUE(a.EqualTo(b));
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
  TDuplicates duplicates; // of a sorted list; dupAccept: unsorted
  std::string outcome;
  Values values;
};

class FromText : public ::testing::TestWithParam<TextCase> {};

TEST_P(FromText, AddsTheTokensThatAreIntegers)
{
  const TextCase& c = GetParam();
  const auto list = MakeList(c.duplicates != dupAccept, c.duplicates, {99});
  EXPECT_EQ(Outcome([&] { return list->SetFromText(c.text, c.separator), 0; }), c.outcome);
  EXPECT_EQ(ValuesOf(*list), c.values);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FromText,
    ::testing::Values(
        TextCase{"SkipsBadTokens", u"1,,x, 2,3 ,4", u",", dupAccept, "0", {1, 2, 4}},
        TextCase{"EmptySeparator", u"7", u"", dupAccept, "0", {7}},
        TextCase{"HexTokens", u"$10;-0x1F", u";", dupAccept, "0", {16, -31}},
        TextCase{"SeparatorsDoNotOverlap", u"1,,,2", u",,", dupAccept, "0", {1}},
        TextCase{"Extremes", u"-2147483648,2147483647,2147483648", u",", dupAccept, "0", {INT_MIN, INT_MAX}},
        TextCase{"SortedIgnore", u"3,1,3", u",", dupIgnore, "0", {1, 3}},
        // A repeat raises part way; what came before stays.
        TextCase{"SortedErrorStops", u"2,1,2,3", u",", dupError, "Integer list does not allow duplicates", {1, 2}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace fbu::test
