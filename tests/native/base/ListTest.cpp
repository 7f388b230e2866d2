#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "base/List.h"
#include "base/ObjectList.h"
#include "base/StringList.h"
#include "base/ThreadList.h"

namespace fbu {
namespace {

std::string MessageOf(const std::function<void()>& f)
{
  try {
    f();
  } catch (const EListError& e) {
    return e.what();
  }
  return "<no EListError>";
}

TEST(TList, GrowthStepsAtTheirBoundaries)
{
  // Capacity after each Add that finds the list full: +4 up to 8, +16 from 9 to 64,
  // then a quarter.
  TList list;
  std::vector<int> capacities;
  for (int i = 0; i < 200; ++i) {
    const int before = list.Capacity();
    list.Add(i);
    if (list.Capacity() != before) capacities.push_back(list.Capacity());
  }
  const std::vector<int> expected = {4, 8, 12, 28, 44, 60, 76, 95, 118, 147, 183, 228};
  EXPECT_EQ(capacities, expected);
}

TEST(TList, ErrorMessagesCarryTheOffendingNumber)
{
  TList list;
  list.Add(1);
  list.Add(2);
  EXPECT_EQ(MessageOf([&] { list.Get(2); }), "List index out of bounds (2)");
  EXPECT_EQ(MessageOf([&] { list.Get(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(MessageOf([&] { list.Put(5, 1); }), "List index out of bounds (5)");
  EXPECT_EQ(MessageOf([&] { list.Delete(2); }), "List index out of bounds (2)");
  EXPECT_EQ(MessageOf([&] { list.Insert(3, 0); }), "List index out of bounds (3)");
  EXPECT_EQ(MessageOf([&] { list.SetCount(-7); }), "List count out of bounds (-7)");
  EXPECT_EQ(MessageOf([&] { list.SetCapacity(1); }), "List capacity out of bounds (1)");
  TList empty;
  EXPECT_EQ(MessageOf([&] { empty.Last(); }), "List index out of bounds (0)");
  EXPECT_EQ(list.Count(), 2); // failures change nothing
}

TEST(TList, EditsKeepOrder)
{
  TList list;
  for (int v : {10, 20, 30}) list.Add(v);
  list.Insert(0, 5);
  list.Insert(4, 40);
  list.Delete(2); // removes 20
  EXPECT_EQ(list.IndexOf(30), 2);
  EXPECT_EQ(list.IndexOf(99), -1);
  list.Add(10);
  EXPECT_EQ(list.Remove(10), 1); // lowest occurrence
  EXPECT_EQ(list.Remove(77), -1);
  std::vector<TPointer> got(list.List(), list.List() + list.Count());
  EXPECT_EQ(got, (std::vector<TPointer>{5, 30, 40, 10}));
}

TEST(TList, CountAndCapacity)
{
  TList list;
  list.Add(7);
  list.SetCount(4); // appends zeros
  EXPECT_EQ(list.Get(3), 0);
  EXPECT_EQ(list.Get(0), 7);
  list.SetCount(1);
  EXPECT_EQ(list.Count(), 1);
  list.SetCapacity(10);
  EXPECT_EQ(list.Capacity(), 10);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(TList, Keeps32BitValuesExactly)
{
  TList list;
  const std::int32_t values[] = {INT32_MIN, -1, 0, 1, INT32_MAX};
  for (auto v : values) list.Add(v);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(static_cast<std::int32_t>(list.Get(i)), values[i]);
}

int Ascending(TPointer a, TPointer b)
{
  return a < b ? -1 : a > b ? 1 : 0;
}
int Inconsistent(TPointer a, TPointer b)
{
  return static_cast<int>((a * 7 + b * 13) % 3) - 1;
}

TEST(TList, SortMatchesStdSortAndSurvivesInconsistentComparisons)
{
  std::mt19937 rng(42);
  for (int n : {0, 1, 2, 3, 17, 1000}) {
    TList list;
    std::vector<TPointer> model;
    for (int i = 0; i < n; ++i) {
      const TPointer v = static_cast<TPointer>(rng() % 50);
      list.Add(v);
      model.push_back(v);
    }
    list.Sort(Ascending);
    std::sort(model.begin(), model.end());
    EXPECT_EQ(std::vector<TPointer>(list.List(), list.List() + list.Count()), model);
    list.Sort(Inconsistent); // must stay in bounds and keep the same multiset
    std::vector<TPointer> after(list.List(), list.List() + list.Count());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, model);
  }
}

TEST(TList, AssignCopiesEntriesAndCapacity)
{
  TList a, b;
  for (int i = 0; i < 5; ++i) a.Add(i);
  b.Add(99);
  b.Assign(a);
  EXPECT_EQ(b.Count(), 5);
  EXPECT_EQ(b.Capacity(), a.Capacity());
  EXPECT_EQ(b.Get(4), 4);
}

struct Tracked : TObject {
  explicit Tracked(int& counter) : counter_(counter) {}
  ~Tracked() override { ++counter_; }
  int& counter_;
};

// The string list reports a bad position with the list's own text.
TEST(TStringList, BadPositionsRaiseTheListIndexError)
{
  TStringList list;
  list.Add(u"a");
  EXPECT_EQ(MessageOf([&] { list.Get(1); }), "List index out of bounds (1)");
  EXPECT_EQ(MessageOf([&] { list.Put(-1, u"b"); }), "List index out of bounds (-1)");
  EXPECT_EQ(MessageOf([&] { list.Delete(3); }), "List index out of bounds (3)");
  EXPECT_EQ(MessageOf([&] { list.Insert(2, u"b"); }), "List index out of bounds (2)");
  list.Insert(1, u"b"); // one past the end is a valid place to insert
  EXPECT_EQ(list.Count(), 2);
}

TEST(TObjectList, OwnershipReleasesOnDeleteShrinkAndDestroy)
{
  int released = 0;
  {
    TObjectList list;
    EXPECT_TRUE(list.OwnsObjects());
    for (int i = 0; i < 5; ++i) list.Add(std::make_unique<Tracked>(released));
    list.Delete(0);
    EXPECT_EQ(released, 1);
    list.SetCount(2);
    EXPECT_EQ(released, 3);
    auto kept = list.ExtractObject(list.Items(0));
    EXPECT_EQ(released, 3); // extracting hands it back unreleased
    kept.reset();
    EXPECT_EQ(released, 4);
  }
  EXPECT_EQ(released, 5); // the one still present went with the list

  int notOwned = 0;
  Tracked a(notOwned), b(notOwned);
  {
    TObjectList list(false);
    list.AddObject(&a);
    list.AddObject(&b);
    list.Delete(0);
  }
  EXPECT_EQ(notOwned, 0);
}

TEST(TThreadList, DuplicatesPolicy)
{
  TThreadList list;
  list.Add(1);
  list.Add(1); // dupIgnore is the default
  EXPECT_EQ(list.LockList().Count(), 1);
  list.UnlockList();
  list.SetDuplicates(dupAccept);
  list.Add(1);
  EXPECT_EQ(list.LockList().Count(), 2);
  list.UnlockList();
  list.SetDuplicates(dupError);
  EXPECT_THROW(list.Add(1), EListError);
  list.Add(2);
  list.Remove(1);
  TThreadListLock lock(list);
  EXPECT_EQ(lock.List().Count(), 2);
}

TEST(TDuplicates, OneByteWithFixedValues)
{
  static_assert(sizeof(TDuplicates) == 1);
  EXPECT_EQ(static_cast<int>(dupIgnore), 0);
  EXPECT_EQ(static_cast<int>(dupAccept), 1);
  EXPECT_EQ(static_cast<int>(dupError), 2);
}

} // namespace
} // namespace fbu
