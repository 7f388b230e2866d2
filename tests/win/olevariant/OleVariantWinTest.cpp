// The integer list's byte-array records on oleaut32 itself (Wine's under the test
// harness): what other automation code sees in the VARIANT, arrays made by that code,
// and the refusals of variants that hold no one-dimensional byte array.
#include <gtest/gtest.h>

#include <windows.h>

#include <oleauto.h>

#include "collections/PureQuarnClasses.h"

namespace fbu {
namespace {

TEST(OleVariantWin, RecordsAreARealByteSafeArray)
{
  OleVariant ole = OleVariant::Null();
  TIntList list;
  list.Add(10);
  list.Add(-1);
  list.SaveToVariant(ole);
  const VARIANT& raw = ole.Raw();
  ASSERT_EQ(V_VT(&raw), VT_ARRAY | VT_UI1);
  SAFEARRAY* array = V_ARRAY(&raw);
  LONG low = -1, high = -1;
  EXPECT_EQ(SafeArrayGetDim(array), 1u);
  EXPECT_EQ(SafeArrayGetLBound(array, 1, &low), S_OK);
  EXPECT_EQ(SafeArrayGetUBound(array, 1, &high), S_OK);
  EXPECT_EQ(low, 0);
  EXPECT_EQ(high, 12);
  EXPECT_EQ(array->cLocks, 0u);
  BYTE spare = 1;
  LONG at = 12;
  EXPECT_EQ(SafeArrayGetElement(array, &at, &spare), S_OK);
  EXPECT_EQ(spare, 0);
  at = 4;
  BYTE ten = 0;
  SafeArrayGetElement(array, &at, &ten);
  EXPECT_EQ(ten, 10);
}

TEST(OleVariantWin, AppendsToAnArrayWithAnotherLowerBound)
{
  // Bounds 5..8: four bytes, the last (element 8, data offset 3) is where a record goes.
  SAFEARRAYBOUND bound{4, 5};
  OleVariant ole;
  V_VT(&ole.Raw()) = VT_ARRAY | VT_UI1;
  V_ARRAY(&ole.Raw()) = SafeArrayCreate(VT_UI1, 1, &bound);
  TIntList list;
  list.Add(7);
  list.SaveToVariant(ole);
  EXPECT_EQ(ole.LowBound(), 5);
  EXPECT_EQ(ole.HighBound(), 16);
  TIntList back;
  EXPECT_EQ(back.LoadFromVariant(ole, 3), 8);
  EXPECT_TRUE(back.EqualTo(list));
}

TEST(OleVariantWin, RefusesWhatIsNoByteArrayAndReleasesLocks)
{
  TIntList list;
  list.Add(1);
  const auto errorOf = [](const auto& action) -> std::string {
    try {
      action();
    } catch (const EVariantError& e) {
      return e.what();
    }
    return "<none>";
  };

  OleVariant number;
  V_VT(&number.Raw()) = VT_I4;
  V_I4(&number.Raw()) = 5;
  EXPECT_EQ(errorOf([&] { list.SaveToVariant(number); }), "Variant does not hold a byte array");
  EXPECT_EQ(V_VT(&number.Raw()), VT_I4);

  SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
  for (const auto& [type, dims] : {std::pair{VT_I4, 1u}, std::pair{VT_UI1, 2u}}) {
    OleVariant other;
    V_VT(&other.Raw()) = VT_ARRAY | type;
    V_ARRAY(&other.Raw()) = SafeArrayCreate(type, dims, bounds);
    EXPECT_EQ(errorOf([&] { list.SaveToVariant(other); }), "Variant does not hold a byte array");
    EXPECT_EQ(errorOf([&] { list.LoadFromVariant(other, 0); }), "Variant does not hold a byte array");
  }

  // An array that someone else holds locked cannot grow: oleaut32's refusal passes
  // through, and the lock count is the holder's alone.
  OleVariant held = OleVariant::Null();
  list.SaveToVariant(held);
  ASSERT_EQ(SafeArrayLock(V_ARRAY(&held.Raw())), S_OK);
  EXPECT_NE(errorOf([&] { list.SaveToVariant(held); }).find("Variant array operation failed"), std::string::npos);
  EXPECT_EQ(held.LockCount(), 1);
  SafeArrayUnlock(V_ARRAY(&held.Raw()));
  EXPECT_EQ(held.HighBound(), 8);
}

} // namespace
} // namespace fbu
