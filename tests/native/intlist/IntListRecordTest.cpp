// The integer list record in raw memory, in streams and in OLE byte arrays. This
// program is built for every target: natively the byte arrays are the stand-in, in the
// Windows build oleaut32's (real under Wine), and both must pass the same tests.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "native/intlist/IntListModel.h"

namespace fbu::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kTenMinusOne = {2, 0, 0, 0, 10, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};

TEST(IntListRecord, MemoryAndStreamHoldTheSameBytes)
{
  TIntList list, back;
  Fill(list, {10, -1});
  Bytes raw(12);
  std::uint8_t* p = raw.data();
  list.SaveTo(p);
  const std::uint8_t* q = raw.data();
  back.LoadFrom(q);
  EXPECT_EQ(raw, kTenMinusOne);
  EXPECT_TRUE(p == raw.data() + 12 && q == p && back.EqualTo(list));

  TMemoryStream stream;
  list.SaveToStream(stream);
  EXPECT_EQ(stream.Bytes(), kTenMinusOne);
  TFixedMemoryStream fixed(raw.data(), 12); // a stream read through its Read
  back.Clear();
  EXPECT_TRUE(back.LoadFromStream(fixed) && back.EqualTo(list));
  stream.SetSize(11); // 3 bytes from the position below: no record
  stream.SetPosition(8);
  EXPECT_FALSE(back.LoadFromStream(stream));
  EXPECT_TRUE(back.EqualTo(list));
  char buffer[10];
  TFixedMemoryStream tooSmall(buffer, sizeof buffer);
  EXPECT_EQ(Outcome([&] { return list.SaveToStream(tooSmall), 0; }), "Stream write error");
}

// A record that its source cannot back is refused before the list changes.
struct BadRecordCase {
  const char* name;
  Bytes bytes;
  bool sorted;
  std::string streamError;  // LoadFromStream
  std::string variantError; // LoadFromVariant at offset 0
  Values after;             // the list afterwards (it held 7, 8 before)
};

class BadRecord : public ::testing::TestWithParam<BadRecordCase> {};

TEST_P(BadRecord, IsRefusedByStreamAndVariant)
{
  const BadRecordCase& c = GetParam();
  TIntList list;
  Fill(list, {7, 8});
  list.SetSorted(c.sorted);
  TMemoryStream stream;
  stream.WriteBuffer(c.bytes.data(), static_cast<std::int64_t>(c.bytes.size()));
  stream.SetPosition(0);
  EXPECT_EQ(Outcome([&] { return list.LoadFromStream(stream); }), c.streamError);
  EXPECT_EQ(ValuesOf(list), c.after);

  Fill(list, {7, 8});
  OleVariant ole;
  ole.CreateByteArray(0, static_cast<std::int32_t>(c.bytes.size()) - 1);
  std::memcpy(ByteArrayLock(ole).Data(), c.bytes.data(), c.bytes.size());
  EXPECT_EQ(Outcome([&] { return list.LoadFromVariant(ole, 0); }), c.variantError);
  EXPECT_EQ(ValuesOf(list), c.after);
  EXPECT_EQ(ole.LockCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadRecord,
    ::testing::Values(BadRecordCase{"CountBeyondData",
                                    {3, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0},
                                    false,
                                    "Stream read error",
                                    "Integer list record of 3 values runs past the end of the byte array",
                                    {7, 8}},
                      BadRecordCase{"NegativeCount",
                                    {0xFF, 0xFF, 0xFF, 0xFF},
                                    false,
                                    "List count out of bounds (-1)",
                                    "List count out of bounds (-1)",
                                    {7, 8}},
                      // The sorted mode refuses the first value stored, after the count was set to 1.
                      BadRecordCase{"SortedList",
                                    {1, 0, 0, 0, 5, 0, 0, 0},
                                    true,
                                    "Operation not allowed on sorted integer list",
                                    "Operation not allowed on sorted integer list",
                                    {7}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IntListRecord, VariantRecordsLieBackToBackWithOneSpareByte)
{
  for (const bool unassigned : {false, true}) {
    OleVariant ole = unassigned ? OleVariant() : OleVariant::Null();
    TIntList two, one, back;
    Fill(two, {10, -1});
    Fill(one, {INT32_MIN});
    two.SaveToVariant(ole);
    EXPECT_TRUE(ole.IsByteArray() && ole.LowBound() == 0 && ole.HighBound() == 12);
    one.SaveToVariant(ole);
    EXPECT_EQ(ole.HighBound(), 20);
    EXPECT_EQ(Bytes(ByteArrayLock(ole).Data(), ByteArrayLock(ole).Data() + 12), kTenMinusOne);
    EXPECT_TRUE(back.LoadFromVariant(ole, 0) == 12 && back.EqualTo(two));
    EXPECT_TRUE(back.LoadFromVariant(ole, 12) == 8 && back.EqualTo(one));
    for (const int offset : {-1, 18, 21})
      EXPECT_EQ(Outcome([&] { return back.LoadFromVariant(ole, offset); }),
                "Integer list record offset out of bounds (" + std::to_string(offset) + ")");
    EXPECT_TRUE(back.EqualTo(one));
    EXPECT_EQ(ole.LockCount(), 0);
  }
}

} // namespace
} // namespace fbu::test
