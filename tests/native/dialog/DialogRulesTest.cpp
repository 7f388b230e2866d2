#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/program/ProgramUnits.h"
#include "collections/PureQuarnClasses.h"
#include "dbclient/IBIntf.h"
#include "app/dialog/SetDBCachePSize.h"
#include "app/program/CommandLine.h"
#include "app/update/PageCount.h"
#include "base/Exceptions.h"
#include "tools/ThreadRegistry.h"

namespace fbu {
namespace {

struct ValueCase {
  const char* name;
  std::optional<Text> argument; // first command-line argument, if any
  Text comboText;               // the combo box's text, selected or typed
  Text expected;
  bool accepted; // whether the page-count rule takes it
};

// Test listings and failures name the case, not its raw bytes.
void PrintTo(const ValueCase& c, std::ostream* os)
{
  *os << c.name;
}

class ValueChoice : public ::testing::TestWithParam<ValueCase> {};

TEST_P(ValueChoice, PicksThePageCountTextAndAppliesOneRule)
{
  const ValueCase& c = GetParam();
  const Text* argument = c.argument ? &*c.argument : nullptr;
  const Text value = ChooseCachePagesValue(argument, c.comboText);
  EXPECT_EQ(value, c.expected);
  bool accepted = true;
  try {
    CheckPageCountArgument(value);
  } catch (const Exception& e) {
    accepted = false;
    EXPECT_NE(e.Message().find(u"from 1 to 2147483647 in decimal digits"), Text::npos) << "the report names the rule";
  }
  EXPECT_EQ(accepted, c.accepted);
}

// The argument wins whatever the dialog shows; otherwise the box's text is taken as it
// is. Both meet the same rule, and nothing stands in for a refused text.
INSTANTIATE_TEST_SUITE_P(Cases, ValueChoice,
                         ::testing::Values(ValueCase{"ArgumentNumber", u"75", u"", u"75", true},
                                           ValueCase{"ArgumentWord", u"abc", u"", u"abc", false},
                                           ValueCase{"ArgumentBeatsTheBox", u"75", u"1024", u"75", true},
                                           ValueCase{"ArgumentEmptyStillWins", u"", u"512", u"", false},
                                           ValueCase{"ArgumentKeepsBlanks", u" 9 ", u"", u" 9 ", true},
                                           ValueCase{"NothingChosen", std::nullopt, u"", u"", false},
                                           ValueCase{"ItemText", std::nullopt, u"2048", u"2048", true},
                                           ValueCase{"Typed1000", std::nullopt, u"1000", u"1000", true},
                                           ValueCase{"TypedLeadingBlank", std::nullopt, u" 512", u" 512", true},
                                           ValueCase{"TypedTrailingBlank", std::nullopt, u"512 ", u"512 ", true},
                                           ValueCase{"TypedWords", std::nullopt, u"abc", u"abc", false},
                                           ValueCase{"TypedTrailingLetter", std::nullopt, u"4096x", u"4096x", false},
                                           ValueCase{"TypedBeyondRange", std::nullopt, u"2147483648", u"2147483648",
                                                     false},
                                           ValueCase{"TypedNegative", std::nullopt, u"-5", u"-5", false},
                                           ValueCase{"TypedHexDollar", std::nullopt, u"$200", u"$200", false},
                                           ValueCase{"TypedHex0x", std::nullopt, u"0x800", u"0x800", false},
                                           ValueCase{"TypedPlusSign", std::nullopt, u"+64", u"+64", false},
                                           ValueCase{"TypedLeadingTab", std::nullopt, u"\t512", u"\t512", false}),
                         [](const ::testing::TestParamInfo<ValueCase>& info) { return std::string(info.param.name); });

struct SwitchCase {
  const char* name;
  Text argument;
  bool isSwitch;
};

void PrintTo(const SwitchCase& c, std::ostream* os)
{
  *os << c.name;
}

class RegistrationSwitch : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(RegistrationSwitch, Recognised)
{
  EXPECT_EQ(IsRegistrationSwitch(GetParam().argument), GetParam().isSwitch) << ToUtf8(GetParam().argument);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegistrationSwitch,
    ::testing::Values(SwitchCase{"SlashLower", u"/regserver", true}, SwitchCase{"DashMixed", u"-UnRegServer", true},
                      SwitchCase{"SlashUpperPerUser", u"/REGSERVERPERUSER", true},
                      SwitchCase{"DashLowerPerUser", u"-unregserverperuser", true},
                      SwitchCase{"NoIntroducer", u"regserver", false}, SwitchCase{"Backslash", u"\\regserver", false},
                      SwitchCase{"TrailingBlank", u"/regserver ", false},
                      SwitchCase{"DoubleSlash", u"//regserver", false}, SwitchCase{"Shortened", u"/regserv", false},
                      SwitchCase{"SlashAlone", u"/", false}, SwitchCase{"Empty", u"", false},
                      SwitchCase{"Lengthened", u"/unregserverperusers", false}),
    [](const ::testing::TestParamInfo<SwitchCase>& info) { return std::string(info.param.name); });

TEST(RegistrationSwitches, AnyPositionCounts)
{
  EXPECT_TRUE(HasRegistrationSwitch({u"75", u"x", u"-RegServer"}));
  EXPECT_FALSE(HasRegistrationSwitch({u"75", u"regserver"}));
  EXPECT_FALSE(HasRegistrationSwitch({}));
}

TEST(RefusedValue, LineBreaksAndNulAreRefused)
{
  for (const Text& bad : {Text(u"75\r\nDefaultDbCachePages = 9"), Text(u"75\n"), Text(u"\r"),
                          Text(u"7\0"
                               u"5",
                               3)}) {
    try {
      CheckCachePagesValue(bad);
      ADD_FAILURE() << "accepted a value with a line break or NUL";
    } catch (const Exception& e) {
      EXPECT_NE(e.Message().find(u"line breaks"), Text::npos);
    }
  }
}

TEST(RefusedValue, EverythingElseIsWrittenUnchecked)
{
  for (const Text& good : {Text(u"abc"), Text(u""), Text(u" 512"), Text(u"\t1"), Text(100000, u'9')})
    EXPECT_NO_THROW(CheckCachePagesValue(good));
}

TEST(CommandLine, SplitsAtBlanksAndControlCharacters)
{
  struct Case {
    const char16_t* line;
    std::vector<Text> words;
  };
  const Case cases[] = {
      {u"prog.exe 75", {u"prog.exe", u"75"}},
      {u"  prog.exe\t 1024\r", {u"prog.exe", u"1024"}},
      {u"prog.exe 512\x01junk", {u"prog.exe", u"512", u"junk"}},
      {u"prog.exe\n1024\r\n", {u"prog.exe", u"1024"}},
      {u"\"C:\\Program Files\\u.exe\" \"1 024\" x", {u"C:\\Program Files\\u.exe", u"1 024", u"x"}},
      {u"prog.exe a\"b c\"d", {u"prog.exe", u"ab cd"}},
      {u"prog.exe \"\"", {u"prog.exe", u""}},
      {u"prog.exe \"open", {u"prog.exe", u"open"}},
      {u"prog.exe \"7\x01\"", {u"prog.exe", u"7\x01"}},
      {u"", {}},
      {u" \x7f ", {u"\x7f"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.words) << ToUtf8(c.line);
}

TEST(RefusedValue, UnattendedValueMustBeAPageCount)
{
  struct Case {
    const char16_t* value;
    bool accepted;
  };
  const Case cases[] = {{u"75", true},     {u"1", true},        {u"2147483647", true},  {u" 512 ", true},
                        {u"0075", true},   {u"0", false},       {u"2147483648", false}, {u"99999999999", false},
                        {u"-5", false},    {u"+5", false},      {u"abc", false},        {u"/?", false},
                        {u"", false},      {u"   ", false},     {u"5 12", false},       {u"$200", false},
                        {u"\t512", false}, {u"512\x01", false}, {u"1e3", false}};
  for (const Case& c : cases) {
    if (c.accepted) {
      EXPECT_NO_THROW(CheckPageCountArgument(c.value)) << ToUtf8(c.value);
    } else {
      EXPECT_THROW(CheckPageCountArgument(c.value), Exception) << ToUtf8(c.value);
    }
  }
  try {
    CheckPageCountArgument(Text(100000, u'x'));
    ADD_FAILURE() << "accepted";
  } catch (const Exception& e) {
    EXPECT_LT(e.Message().size(), 300u) << "a huge value is shortened in the report";
  }
}

// The count the server would allocate must fit in memory at the smallest page size.
TEST(RefusedValue, CacheMustFitInMemory)
{
  constexpr std::uint64_t kGiB = 1u << 30; // 262144 pages
  const std::pair<const char16_t*, bool> cases[] = {
      {u"262144", true}, {u"262145", false}, {u"2147483647", false},
      {u" 256k", true},  {u"257k", false},   {u"1g", false},
      {u"$200", true},   {u"100 # x", true}, {u"99999999999999999999999", true}};
  for (const auto& [value, fits] : cases) {
    try {
      CheckCacheFitsMemory(value, kGiB);
      EXPECT_TRUE(fits) << ToUtf8(value);
    } catch (const Exception& e) {
      EXPECT_FALSE(fits) << ToUtf8(value);
      EXPECT_NE(e.Message().find(u"the largest count it can hold is 262144."), Text::npos) << ToUtf8(e.Message());
    }
  }
}

TEST(ProgramUnits, StartAndStopInOrder)
{
  StartupSequence units;
  RegisterProgramUnits(units);
  units.Startup();
  EXPECT_NE(RegisteredBlocks(), nullptr);
  EXPECT_TRUE(IsMainThread());
  EXPECT_EQ(units.StartedUnits(), (std::vector<std::string>{"ThreadRegistry", "LargeSets", "FillUnit",
                                                            "ConverterVersion", "PureQuarnClasses", "IBIntf"}));
  EXPECT_EQ(PureQuarnClassesStartupText(), Text(u"1"));
  Text name = u"ibembedded";
  ASSERT_NE(FindClientLibrary(name), nullptr); // the variant map exists while the units run
  EXPECT_EQ(name, Text(u"IBEmbedded"));
  units.Shutdown();
  EXPECT_EQ(RegisteredBlocks(), nullptr);
  EXPECT_TRUE(PureQuarnClassesStartupText().empty());
  EXPECT_TRUE(units.StartedUnits().empty());
}

} // namespace
} // namespace fbu
