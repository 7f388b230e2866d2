// The integer list's byte-array records on oleaut32 itself (Wine's under the test
// harness): what other automation code sees in the VARIANT, an array made by that code,
// and the refusal of variants that hold no one-dimensional byte array.
#include <gtest/gtest.h>

#include <windows.h>

#include <oleauto.h>

#include "collections/PureQuarnClasses.h"

namespace fbu {
namespace {

SAFEARRAY* Attach(OleVariant& ole, VARTYPE type, UINT dims, SAFEARRAYBOUND* bounds)
{
  V_VT(&ole.Raw()) = VT_ARRAY | type;
  return V_ARRAY(&ole.Raw()) = SafeArrayCreate(type, dims, bounds);
}

TEST(OleVariantWin, RecordsGoIntoARealByteSafeArray)
{
  TIntList list;
  list.Add(7);
  OleVariant ole = OleVariant::Null();
  list.SaveToVariant(ole);
  ASSERT_EQ(V_VT(&ole.Raw()), VT_ARRAY | VT_UI1);
  SAFEARRAY* array = V_ARRAY(&ole.Raw());
  LONG low = -1, high = -1, at = 4;
  BYTE seven = 0;
  EXPECT_TRUE(SafeArrayGetDim(array) == 1 && SafeArrayGetLBound(array, 1, &low) == S_OK &&
              SafeArrayGetUBound(array, 1, &high) == S_OK && SafeArrayGetElement(array, &at, &seven) == S_OK);
  EXPECT_TRUE(low == 0 && high == 8 && seven == 7 && array->cLocks == 0);

  // Another program's array with bounds 5..8: the record goes at its last element
  // (element 8, three bytes into the data).
  SAFEARRAYBOUND bound{4, 5};
  OleVariant other;
  Attach(other, VT_UI1, 1, &bound);
  list.SaveToVariant(other);
  TIntList back;
  EXPECT_TRUE(other.LowBound() == 5 && other.HighBound() == 16);
  EXPECT_TRUE(back.LoadFromVariant(other, 3) == 8 && back.EqualTo(list));
}

TEST(OleVariantWin, RefusesWhatIsNoByteArrayAndLeavesLocksAlone)
{
  TIntList list;
  list.Add(1);
  SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
  OleVariant number, longs, square, held = OleVariant::Null();
  V_VT(&number.Raw()) = VT_I4;
  Attach(longs, VT_I4, 1, bounds);
  Attach(square, VT_UI1, 2, bounds);
  for (OleVariant* v : {&number, &longs, &square}) {
    EXPECT_THROW(list.SaveToVariant(*v), EVariantError);
    EXPECT_THROW(list.LoadFromVariant(*v, 0), EVariantError);
  }
  EXPECT_EQ(V_VT(&number.Raw()), VT_I4);

  // An array someone else holds locked cannot grow: oleaut32's refusal passes through
  // and the lock stays the holder's alone.
  list.SaveToVariant(held);
  ASSERT_EQ(SafeArrayLock(V_ARRAY(&held.Raw())), S_OK);
  EXPECT_THROW(list.SaveToVariant(held), EVariantError);
  EXPECT_EQ(held.LockCount(), 1);
  SafeArrayUnlock(V_ARRAY(&held.Raw()));
  EXPECT_EQ(held.HighBound(), 8);
}

} // namespace
} // namespace fbu
