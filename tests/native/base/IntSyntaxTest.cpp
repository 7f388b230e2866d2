#include <gtest/gtest.h>

#include "base/IntSyntax.h"

namespace fbu {
namespace {

struct IntCase {
  const char16_t* text;
  bool ok;
  std::int32_t value;
};

TEST(IntSyntax, TableOfEdges)
{
  const IntCase cases[] = {
      {u"0", true, 0},
      {u"42", true, 42},
      {u"  42", true, 42},
      {u"+42", true, 42},
      {u"-42", true, -42},
      {u"0000000042", true, 42},
      {u"2147483647", true, 2147483647},
      {u"-2147483648", true, INT32_MIN},
      {u"2147483648", false, 0},
      {u"-2147483649", false, 0},
      {u"99999999999999999999", false, 0},
      {u"$FFFFFFFF", true, -1},
      {u"$80000000", true, INT32_MIN},
      {u"$7FFFFFFF", true, 2147483647},
      {u"0x1A", true, 26},
      {u"0X1a", true, 26},
      {u"x10", true, 16},
      {u"X10", true, 16},
      {u"-$10", true, -16},
      {u"-0x1F", true, -31},
      {u"-$FFFFFFFF", true, 1},
      {u"$000000000001", true, 1}, // leading zeros are not significant
      {u"$100000000", false, 0},   // nine significant digits
      {u"$200", true, 512},
      {u"", false, 0},
      {u" ", false, 0},
      {u"+", false, 0},
      {u"-", false, 0},
      {u"$", false, 0},
      {u"0x", false, 0},
      {u"x", false, 0},
      {u"-$", false, 0},
      {u"42 ", false, 0}, // nothing may follow, not even a blank
      {u"4 2", false, 0},
      {u"- 5", false, 0},
      {u"\t42", false, 0}, // only U+0020 leads
      {u"abc", false, 0},
      {u"12a", false, 0},
      {u"$G", false, 0},
      {u"1.5", false, 0},
      {u"--1", false, 0},
  };
  for (const auto& c : cases) {
    std::int32_t v = 12345;
    const bool ok = TryParseInt32(c.text, v);
    EXPECT_EQ(ok, c.ok) << ToUtf8(c.text);
    if (c.ok) {
      EXPECT_EQ(v, c.value) << ToUtf8(c.text);
    }
  }
}

TEST(IntSyntax, FailureKeepsWhatWasAccumulated)
{
  std::int32_t v = 0;
  EXPECT_FALSE(TryParseInt32(u"12x", v));
  EXPECT_EQ(v, 12);
}

} // namespace
} // namespace fbu
