#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "collections/FastList.h"
#include "support/ErrorText.h"

namespace fbu {
namespace {

using test::ListErrorOf;

TEST(TFastList, AddIfNotHas)
{
  TFastList list;
  EXPECT_EQ(list.AddIfNotHas(7), 0);
  list.Add(5);
  list.Add(7);
  list.Add(5);
  EXPECT_EQ(list.AddIfNotHas(5), 1);
  EXPECT_EQ(list.AddIfNotHas(7), 0);
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list.AddIfNotHas(0), 4);
  EXPECT_EQ(list.Get(4), 0);
}

TEST(TFastList, SetCountExact)
{
  TFastList list;
  for (int i = 1; i <= 5; ++i) list.Add(i);
  const int capacity = list.Capacity();
  list.SetCountExact(2);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Capacity(), capacity);
  EXPECT_EQ(list.Get(1), 2);
  list.SetCountExact(0);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), capacity);

  // Growing past the capacity: exactly N, and the new entries are 0 even where old
  // values once stood.
  list.SetCountExact(3);
  EXPECT_EQ(list.Capacity(), capacity);
  list.SetCountExact(1000);
  EXPECT_EQ(list.Capacity(), 1000);
  EXPECT_EQ(list.Count(), 1000);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(list.Get(i), 0) << i;

  EXPECT_EQ(ListErrorOf([&] { list.SetCountExact(-3); }), "List count out of bounds (-3)");
  EXPECT_EQ(list.Count(), 1000);
  EXPECT_EQ(list.Capacity(), 1000);
}

TEST(TFastList, DeleteNoCheck)
{
  TFastList list;
  for (int i = 10; i < 14; ++i) list.Add(i);
  list.DeleteNoCheck(3);
  EXPECT_EQ(list.Count(), 3);
  list.DeleteNoCheck(0);
  EXPECT_EQ(list.Get(0), 11);
  EXPECT_EQ(list.Get(1), 12);
  EXPECT_EQ(ListErrorOf([&] { list.DeleteNoCheck(2); }), "List index out of bounds (2)");
  EXPECT_EQ(ListErrorOf([&] { list.DeleteNoCheck(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(list.Count(), 2);
}

} // namespace
} // namespace fbu
