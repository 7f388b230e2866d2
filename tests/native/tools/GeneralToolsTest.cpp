#include <gtest/gtest.h>

#include "tools/GeneralTools.h"

namespace fbu {
namespace {

TEST(TryTrimStrToInt, Table)
{
  struct Case {
    const char16_t* text;
    bool ok;
    std::int32_t value;
  };
  const Case cases[] = {
      {u"  42  ", true, 42},
      {u"\t42", true, 42},
      {u"42\r\n", true, 42},
      {u"4 2", false, 0},
      {u"-2147483648", true, INT32_MIN},
      {u"2147483648", false, 0},
      {u"$FFFFFFFF", true, -1},
      {u"0x1A", true, 26},
      {u"$", false, 0},
      {u"", false, 0},
      {u" \x01 ", false, 0},
      {u"- 1", false, 0},
      {u"+7", true, 7},
  };
  for (const auto& c : cases) {
    std::int32_t v = 0;
    EXPECT_EQ(TryTrimStrToInt(c.text, v), c.ok) << ToUtf8(c.text);
    if (c.ok) {
      EXPECT_EQ(v, c.value) << ToUtf8(c.text);
    }
  }
}

std::vector<std::uint8_t> Bytes(TMemoryStream& s)
{
  return s.Bytes();
}

TEST(StringRecord, LayoutOfWrittenRecords)
{
  TMemoryStream s;
  WriteStringToStream(u"abc", s);
  WriteStringToStream(u"", s);
  EXPECT_EQ(Bytes(s), (std::vector<std::uint8_t>{6, 0, 0, 0, 0x61, 0, 0x62, 0, 0x63, 0, 0, 0, 0, 0}));
}

TEST(StringRecord, RoundTripsInOrderIncludingSurrogates)
{
  TMemoryStream s;
  const Text texts[] = {u"first", u"", u"\U0001F600 and \u00e9", Text(1000, u'x')};
  for (const auto& t : texts) WriteStringToStream(t, s);
  s.SetPosition(0);
  for (const auto& t : texts) {
    Text got = u"junk";
    ASSERT_TRUE(ReadStringFromStream(got, &s));
    EXPECT_EQ(got, t);
  }
  EXPECT_EQ(s.Position(), s.Size());
  Text got = u"junk";
  EXPECT_FALSE(ReadStringFromStream(got, &s));
  EXPECT_TRUE(got.empty());
}

TEST(StringRecord, ShortAndMalformedRecords)
{
  struct Case {
    std::vector<std::uint8_t> bytes;
    std::int64_t positionAfter; // where a failed read leaves the stream
  };
  const Case cases[] = {
      {{1, 0, 0}, 0},                         // fewer than 4 bytes: nothing consumed
      {{8, 0, 0, 0, 0x61, 0}, 4},             // count beyond what remains: count consumed
      {{3, 0, 0, 0, 0x61, 0, 0x62}, 4},       // odd count: refused, nothing read past the text
      {{0xFE, 0xFF, 0xFF, 0xFF, 0x61, 0}, 4}, // negative count
  };
  for (const auto& c : cases) {
    TMemoryStream s;
    s.WriteBuffer(c.bytes.data(), static_cast<std::int64_t>(c.bytes.size()));
    s.SetPosition(0);
    Text got = u"junk";
    EXPECT_FALSE(ReadStringFromStream(got, &s));
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(s.Position(), c.positionAfter);
  }
  Text got = u"junk";
  EXPECT_FALSE(ReadStringFromStream(got, nullptr));
  EXPECT_TRUE(got.empty());
}

TEST(StringRecord, WriteIntoFullStreamRaises)
{
  std::uint8_t block[6] = {};
  TFixedMemoryStream s(block, sizeof block);
  EXPECT_THROW(WriteStringToStream(u"abc", s), EWriteError);
  EXPECT_EQ(block[0], 6); // the part already written stays written
}

} // namespace
} // namespace fbu
