// The integer list record in raw memory, in streams and in OLE byte arrays. This
// program is built for every target: natively the byte arrays are the stand-in, in the
// Windows build they are oleaut32's (real under Wine), and both must pass these tests.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "native/intlist/IntListSupport.h"

namespace fbu::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kTenMinusOne = {2, 0, 0, 0, 10, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};

std::string ErrorOf(const std::function<void()>& action)
{
  try {
    action();
  } catch (const Exception& e) {
    return e.what();
  }
  return "<none>";
}

TEST(IntListRecord, MemoryAndStreamBytes)
{
  TIntList list;
  Fill(list, {10, -1});
  Bytes raw(12);
  std::uint8_t* p = raw.data();
  list.SaveTo(p);
  EXPECT_EQ(p, raw.data() + 12);
  EXPECT_EQ(raw, kTenMinusOne);

  TMemoryStream stream;
  list.SaveToStream(stream);
  EXPECT_EQ(stream.Bytes(), kTenMinusOne);

  TIntList back;
  const std::uint8_t* q = raw.data();
  back.LoadFrom(q);
  EXPECT_EQ(q, raw.data() + 12);
  EXPECT_TRUE(back.EqualTo(list));
  back.Clear();
  stream.SetPosition(0);
  EXPECT_TRUE(back.LoadFromStream(stream));
  EXPECT_TRUE(back.EqualTo(list));
  EXPECT_FALSE(back.LoadFromStream(stream)) << "nothing left";

  char shortBuffer[10];
  TFixedMemoryStream tooSmall(shortBuffer, sizeof shortBuffer);
  EXPECT_EQ(ErrorOf([&] { list.SaveToStream(tooSmall); }), "Stream write error");
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
  EXPECT_EQ(ErrorOf([&] { list.LoadFromStream(stream); }), c.streamError);
  EXPECT_EQ(ValuesOf(list), c.after);

  Fill(list, {7, 8});
  OleVariant ole;
  ole.CreateByteArray(0, static_cast<std::int32_t>(c.bytes.size()) - 1);
  {
    ByteArrayLock lock(ole);
    std::memcpy(lock.Data(), c.bytes.data(), c.bytes.size());
  }
  EXPECT_EQ(ErrorOf([&] { list.LoadFromVariant(ole, 0); }), c.variantError);
  EXPECT_EQ(ValuesOf(list), c.after);
  EXPECT_EQ(ole.LockCount(), 0);
}

const std::string kPastEnd = "Integer list record of 3 values runs past the end of the byte array";

INSTANTIATE_TEST_SUITE_P(
    Cases, BadRecord,
    ::testing::Values(
        BadRecordCase{
            "CountBeyondData", {3, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0}, false, "Stream read error", kPastEnd, {7, 8}},
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
  for (const bool startEmpty : {false, true}) {
    OleVariant ole = startEmpty ? OleVariant() : OleVariant::Null();
    TIntList two, one;
    Fill(two, {10, -1});
    Fill(one, {INT32_MIN});
    two.SaveToVariant(ole);
    ASSERT_TRUE(ole.IsByteArray());
    EXPECT_EQ(ole.LowBound(), 0);
    EXPECT_EQ(ole.HighBound(), 12);
    one.SaveToVariant(ole);
    EXPECT_EQ(ole.HighBound(), 20);
    EXPECT_EQ(ole.LockCount(), 0);
    {
      ByteArrayLock lock(ole);
      EXPECT_EQ(Bytes(lock.Data(), lock.Data() + 12), kTenMinusOne);
    }

    TIntList back;
    EXPECT_EQ(back.LoadFromVariant(ole, 0), 12);
    EXPECT_TRUE(back.EqualTo(two));
    EXPECT_EQ(back.LoadFromVariant(ole, 12), 8);
    EXPECT_TRUE(back.EqualTo(one));
    for (const int offset : {-1, 18, 21})
      EXPECT_EQ(ErrorOf([&] { back.LoadFromVariant(ole, offset); }),
                "Integer list record offset out of bounds (" + std::to_string(offset) + ")");
    EXPECT_TRUE(back.EqualTo(one));
    EXPECT_EQ(ole.LockCount(), 0);
  }
  // A copy owns its own bytes.
  OleVariant a = OleVariant::Null();
  TIntList list;
  list.SaveToVariant(a);
  OleVariant b = a;
  list.SaveToVariant(b);
  EXPECT_EQ(a.HighBound(), 4);
  EXPECT_EQ(b.HighBound(), 8);
}

} // namespace
} // namespace fbu::test
