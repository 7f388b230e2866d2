#include <gtest/gtest.h>

#include "base/Exceptions.h"
#include "base/Startup.h"
#include "base/StringList.h"
#include "base/Text.h"

namespace fbu {
namespace {

TEST(Text, Utf8RoundTripAndReplacement)
{
  const Text t = u"a\u00e9\u4e2d\U0001F600";
  EXPECT_EQ(FromUtf8(ToUtf8(t)), t);
  EXPECT_EQ(t.size(), 5u); // lengths count code units
  // Ill-formed input is replaced, never dropped silently or read past.
  EXPECT_EQ(FromUtf8("\xC3"), Text(u"\uFFFD"));
  EXPECT_EQ(FromUtf8("\xE2\x82"), Text(u"\uFFFD\uFFFD"));
  EXPECT_EQ(FromUtf8("\xC0\xAF"), Text(u"\uFFFD\uFFFD"));           // overlong
  EXPECT_EQ(FromUtf8("\xED\xA0\x80"), Text(u"\uFFFD\uFFFD\uFFFD")); // surrogate
  EXPECT_EQ(ToUtf8(Text(1, char16_t(0xD800))), "\xEF\xBF\xBD");     // lone surrogate
  EXPECT_TRUE(Text().empty());
}

TEST(Text, CaseFoldingAndTrimming)
{
  EXPECT_TRUE(SameTextIgnoreCase(u"Firebird_3_0", u"FIREBIRD_3_0"));
  EXPECT_TRUE(SameTextIgnoreCase(u"\u00e9t\u00e9", u"\u00c9T\u00c9"));
  EXPECT_FALSE(SameTextIgnoreCase(u"abc", u"abd"));
  EXPECT_FALSE(SameTextIgnoreCase(u"abc", u"abcd"));
  EXPECT_EQ(UpperAsciiOnly(u"firebird\u00e9"), Text(u"FIREBIRD\u00e9"));
  EXPECT_EQ(TrimControl(u"\t  4 2 \r\n"), TextView(u"4 2"));
  EXPECT_EQ(TrimControl(u" \x01 "), TextView(u""));
}

TEST(Format, SystemTemplates)
{
  struct Case {
    const char16_t* format;
    std::initializer_list<FormatArg> args;
    const char16_t* expected;
  };
  const Case cases[] = {
      {u"List index out of bounds (%d)", {std::int64_t{-1}}, u"List index out of bounds (-1)"},
      {u"Cannot open file \"%s\". %s",
       {Text(u"C:\\a"), Text(u"Access is denied")},
       u"Cannot open file \"C:\\a\". Access is denied"},
      {u"Not defined converter version: %1.3f", {1.51}, u"Not defined converter version: 1.510"},
      {u"($0%x)", {std::int64_t{255}}, u"($0FF)"},
      {u"100%%", {}, u"100%"},
      {u"System Error.  Code: %d.\r\n%s%s", {std::int64_t{127}, Text(u"x"), Text()}, u"System Error.  Code: 127.\r\nx"},
  };
  for (const auto& c : cases) EXPECT_EQ(Format(c.format, c.args), Text(c.expected)) << ToUtf8(c.expected);
}

TEST(RaiseOSError, CodeZeroHasItsOwnText)
{
  try {
    RaiseOSError(0);
  } catch (const EOSError& e) {
    EXPECT_STREQ(e.what(), "A call to an OS function failed");
    EXPECT_EQ(e.ErrorCode, 0u);
  }
  try {
    RaiseOSError(2);
  } catch (const EOSError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("System Error.  Code: 2.\r\n", 0), 0u);
    EXPECT_EQ(e.ErrorCode, 2u);
  }
}

TEST(TStringList, OrderedWithDuplicatesAndCaseBlindLookup)
{
  TStringList list;
  list.Add(u"B");
  list.Add(u"a");
  list.Add(u"A");
  list.Insert(0, u"z");
  EXPECT_EQ(list.IndexOf(u"A"), 2); // lowest match, case ignored
  EXPECT_EQ(list.IndexOf(u"missing"), -1);
  list.Put(1, u"b2");
  list.Delete(0);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list[0], Text(u"b2"));
  EXPECT_THROW(list.Get(3), EListError);
  EXPECT_THROW(list.Delete(-1), EListError);
}

TEST(StartupSequence, DependencyOrderReverseShutdownAndFailure)
{
  std::vector<std::string> log;
  auto unit = [&](std::string name, std::vector<std::string> needs, bool fail = false) {
    return UnitSteps{name, needs,
                     [&log, name, fail] {
                       if (fail) throw Exception(u"start failed");
                       log.push_back("+" + name);
                     },
                     [&log, name] { log.push_back("-" + name); }};
  };
  {
    StartupSequence seq;
    seq.Register(unit("C", {"B"}));
    seq.Register(unit("A", {}));
    seq.Register(unit("B", {"A"}));
    EXPECT_THROW(seq.Register(unit("A", {})), std::logic_error);
    seq.Startup();
    seq.Shutdown();
    seq.Shutdown(); // each shutdown step runs once
    EXPECT_EQ(log, (std::vector<std::string>{"+A", "+B", "+C", "-C", "-B", "-A"}));
  }
  log.clear();
  {
    StartupSequence seq;
    seq.Register(unit("A", {}));
    seq.Register(unit("Bad", {"A"}, true));
    seq.Register(unit("Later", {"Bad"}));
    std::string reported;
    bool bodyRan = false;
    const int code = RunUnits(
        seq,
        [&] {
          bodyRan = true;
          return 0;
        },
        [&](const std::exception& e) { reported = e.what(); });
    EXPECT_NE(code, 0);
    EXPECT_FALSE(bodyRan);
    EXPECT_EQ(reported, "start failed");
    EXPECT_EQ(log, (std::vector<std::string>{"+A", "-A"})); // Later never started
  }
  {
    StartupSequence seq;
    seq.Register(unit("X", {"Y"}));
    seq.Register(unit("Y", {"X"}));
    EXPECT_THROW(seq.Startup(), std::logic_error);
  }
}

} // namespace
} // namespace fbu
