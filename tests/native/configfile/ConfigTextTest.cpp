#include "app/configfiles/ConfigText.h"

#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>

namespace fbu {
namespace {

using namespace std::string_literals;

constexpr char16_t kKey[] = u"DefaultDbCachePages";

// Code page 1252 cannot be reached natively; Latin-1 stands in for a code page in which
// every byte decodes and encodes back.
AnsiCodePage Latin1()
{
  return {[](std::string_view b) { return Text(b.begin(), b.end()); },
          [](TextView t) {
            std::string out;
            for (char16_t c : t) out.push_back(c < 0x100 ? static_cast<char>(c) : '?');
            return out;
          }};
}

// A lossy page: bytes from 0x80 up decode to '?', as undefined bytes of a real page do.
AnsiCodePage Lossy()
{
  return {[](std::string_view b) {
            Text t;
            for (char c : b) t.push_back(static_cast<unsigned char>(c) < 0x80 ? static_cast<char16_t>(c) : u'?');
            return t;
          },
          Latin1().encode};
}

// A double-byte page: a byte from 0x80 up leads, and takes the next byte with it.
AnsiCodePage DoubleByte()
{
  return {[](std::string_view b) {
            Text t;
            for (std::size_t i = 0; i < b.size(); ++i) {
              if (static_cast<unsigned char>(b[i]) >= 0x80) {
                t.push_back(u'\u3000');
                ++i;
              } else {
                t.push_back(static_cast<char16_t>(b[i]));
              }
            }
            return t;
          },
          Latin1().encode};
}

std::string Utf16(std::u16string_view text, bool little)
{
  std::string out;
  for (char16_t c : text) {
    const char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
    out += little ? std::string{lo, hi} : std::string{hi, lo};
  }
  return out;
}

struct RewriteCase {
  const char* name;
  std::string input;
  const char16_t* value;
  std::optional<std::string> expected;
};

// Test listings and failures name the case, not its raw bytes.
void PrintTo(const RewriteCase& c, std::ostream* os)
{
  *os << c.name;
}

class Rewrite : public testing::TestWithParam<RewriteCase> {};

TEST_P(Rewrite, GivesTheExpectedBytes)
{
  const RewriteCase& c = GetParam();
  const auto out = ReplaceKeyLine(c.input, kKey, c.value, Latin1());
  ASSERT_EQ(out.has_value(), c.expected.has_value());
  if (out) {
    EXPECT_EQ(*out, *c.expected);
  }
}

const std::string kBomLE = "\xFF\xFE";
const std::string kBomBE = "\xFE\xFF";

INSTANTIATE_TEST_SUITE_P(
    Cases, Rewrite,
    testing::Values(
        RewriteCase{"LfBreaks", "a\nDefaultDbCachePages = 2048\nb\n", u"75", "a\r\nDefaultDbCachePages = 75\r\nb\r\n"},
        RewriteCase{"CrBreaks", "a\rDefaultDbCachePages=1\rb", u"75", "a\r\nDefaultDbCachePages = 75\r\nb\r\n"},
        RewriteCase{"MixedBreaks", "a\r\nb\nc\rDefaultDbCachePages=\r\n\n", u"1",
                    "a\r\nb\r\nc\r\nDefaultDbCachePages = 1\r\n\r\n"},
        RewriteCase{"NoFinalBreak", "DefaultDbCachePages=", u"9", "DefaultDbCachePages = 9\r\n"},
        RewriteCase{"EmptyLinesKept", "\n\nDefaultDbCachePages=0", u"2", "\r\n\r\nDefaultDbCachePages = 2\r\n"},
        RewriteCase{"NoKey", "a = 1\nb = 2\n", u"75", std::nullopt},
        RewriteCase{"LowerCaseSettingReplaced", "defaultdbcachepages = 2048\n", u"75", "DefaultDbCachePages = 75\r\n"},
        RewriteCase{"LowerCaseMentionOnly", "# see defaultdbcachepages\n", u"75", std::nullopt},
        RewriteCase{"EmptyFile", "", u"75", std::nullopt}, RewriteCase{"BomOnly", "\xEF\xBB\xBF", u"75", std::nullopt},
        RewriteCase{"CommentedKeyBecomesActive", "#DefaultDbCachePages = 2048\n", u"75",
                    "DefaultDbCachePages = 75\r\n"},
        RewriteCase{"OnlyFirstMention", "# see DefaultDbCachePages\nx DefaultDbCachePages = 2048\n", u"75",
                    "DefaultDbCachePages = 75\r\nx DefaultDbCachePages = 2048\r\n"},
        // The server reads active settings only: one already set further down is the
        // one replaced, not the example in the header comment.
        RewriteCase{
            "ActiveSettingBeatsEarlierMentions",
            "# DefaultDbCachePages = 2048 (example)\n#DefaultDbCachePages = 2048\n  DefaultDbCachePages=1024 # x\n",
            u"75",
            "# DefaultDbCachePages = 2048 (example)\r\n#DefaultDbCachePages = 2048\r\nDefaultDbCachePages = 75\r\n"},
        RewriteCase{"FirstOfTwoActiveSettings", "DefaultDbCachePages=1\n\tDEFAULTDBCACHEPAGES \t= 2\n", u"75",
                    "DefaultDbCachePages = 75\r\n\tDEFAULTDBCACHEPAGES \t= 2\r\n"},
        RewriteCase{"IndentedSettingWithTabs", "#x DefaultDbCachePages\n \t DefaultDbCachePages\t=5\n", u"75",
                    "#x DefaultDbCachePages\r\nDefaultDbCachePages = 75\r\n"},
        // Neither another key's setting nor a line the server ignores is a stand-in.
        RewriteCase{"LongerNameIsNoSetting", "DefaultDbCachePagesX = 1\nDefaultDbCachePages 5\n", u"75", std::nullopt},
        RewriteCase{"OtherSettingNamingTheKeyStays", "TempCacheLimit = 64M  # see also DefaultDbCachePages\n", u"4096",
                    std::nullopt},
        RewriteCase{"CommentLineAfterOtherSettingTakesIt",
                    "TempCacheLimit = 64M # DefaultDbCachePages\n \t# DefaultDbCachePages here\n", u"75",
                    "TempCacheLimit = 64M # DefaultDbCachePages\r\nDefaultDbCachePages = 75\r\n"},
        RewriteCase{"ValueUnchecked", "DefaultDbCachePages=1\n", u" 512", "DefaultDbCachePages =  512\r\n"},
        RewriteCase{"AbcWritten", "DefaultDbCachePages=1\n", u"abc", "DefaultDbCachePages = abc\r\n"},
        RewriteCase{"Utf8BomKept", "\xEF\xBB\xBFx\nDefaultDbCachePages=1\n", u"\u00e9",
                    "\xEF\xBB\xBFx\r\nDefaultDbCachePages = \xC3\xA9\r\n"},
        RewriteCase{"InvalidUtf8KeptInOtherLines", "\xEF\xBB\xBF\xC3(\xFF\nDefaultDbCachePages=1\n\xE2\x82\n", u"5",
                    "\xEF\xBB\xBF\xC3(\xFF\r\nDefaultDbCachePages = 5\r\n\xE2\x82\r\n"},
        RewriteCase{"Utf16LE", kBomLE + Utf16(u"x\nDefaultDbCachePages=1", true), u"\u20ac",
                    kBomLE + Utf16(u"x\r\nDefaultDbCachePages = \u20ac\r\n", true)},
        RewriteCase{"Utf16BE", kBomBE + Utf16(u"DefaultDbCachePages=1\ry\r\n", false), u"75",
                    kBomBE + Utf16(u"DefaultDbCachePages = 75\r\ny\r\n", false)},
        RewriteCase{"Utf16OddLengthTailKept", kBomLE + Utf16(u"DefaultDbCachePages=1", true) + "\x41", u"7",
                    kBomLE + Utf16(u"DefaultDbCachePages = 7\r\n", true) + "\x41"},
        // The server reads on past a NUL, so the search does too.
        RewriteCase{"SettingAfterNulBeatsMention", "# DefaultDbCachePages\na\0b\nDefaultDbCachePages=1\n"s, u"75",
                    "# DefaultDbCachePages\r\na\0b\r\nDefaultDbCachePages = 75\r\n"s},
        RewriteCase{"KeyBehindNulOnItsLine", "ab\0DefaultDbCachePages\n"s, u"75", std::nullopt},
        RewriteCase{"ContentFromNulKept", "DefaultDbCachePages=1\nx\0y\rz\n\xFF"s, u"75",
                    "DefaultDbCachePages = 75\r\nx\0y\r\nz\r\n\xFF\r\n"s},
        RewriteCase{"Utf16NulEndsMatching", kBomLE + Utf16(u"a\0DefaultDbCachePages"s, true), u"75", std::nullopt},
        RewriteCase{"Utf16KeyBeforeNul", kBomLE + Utf16(u"DefaultDbCachePages=\0tail\nmore"s, true), u"1",
                    kBomLE + Utf16(u"DefaultDbCachePages = 1\r\nmore\r\n", true)},
        RewriteCase{"KeyAsPartOfOtherText", "xDefaultDbCachePagesy\n", u"3", std::nullopt},
        RewriteCase{"KeyInsideCommentText", "#xDefaultDbCachePagesy\n", u"3", "DefaultDbCachePages = 3\r\n"},
        // A shipped file: the header's example stays, the disabled entry becomes the setting.
        RewriteCase{
            "DisabledEntryBeatsTheHeaderExample",
            "#    DefaultDbCachePages = 2048   # comment\n# DefaultDbCachePages = 1\n#defaultdbcachepages =2048\n",
            u"75",
            "#    DefaultDbCachePages = 2048   # comment\r\n# DefaultDbCachePages = 1\r\nDefaultDbCachePages = 75\r\n"},
        // The mark sticks to line 1, where the server never finds the setting.
        RewriteCase{"Utf8MarkLineOneIsNoSetting",
                    "\xEF\xBB\xBF"
                    "DefaultDbCachePages = 5\nDefaultDbCachePages = 6\n",
                    u"7",
                    "\xEF\xBB\xBF"
                    "DefaultDbCachePages = 5\r\nDefaultDbCachePages = 7\r\n"},
        RewriteCase{"Utf8MarkHidesTheOnlySetting",
                    "\xEF\xBB\xBF"
                    "DefaultDbCachePages = 5\nx",
                    u"7", "\xEF\xBB\xBF\r\nDefaultDbCachePages = 7\r\nx\r\n"},
        RewriteCase{"Utf8MarkLineOneGetsItsOwnLine", "\xEF\xBB\xBF#DefaultDbCachePages = 5\nx", u"7",
                    "\xEF\xBB\xBF\r\nDefaultDbCachePages = 7\r\nx\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConfigText, UntouchedLinesKeepBytesTheCodePageCannotRoundTrip)
{
  const std::string input = "caf\xE9\x81\n[\x9D]\nDefaultDbCachePages=1\n\x90\xFF";
  const auto out = ReplaceKeyLine(input, kKey, u"75", Lossy());
  ASSERT_TRUE(out);
  EXPECT_EQ(*out, "caf\xE9\x81\r\n[\x9D]\r\nDefaultDbCachePages = 75\r\n\x90\xFF\r\n");
}

TEST(ConfigText, MatchingLooksAtDecodedTextOfDoubleBytePages)
{
  // The key's bytes follow a lead byte, which takes the 'D' with it: no match.
  EXPECT_FALSE(ReplaceKeyLine("#\x81"
                              "DefaultDbCachePages\n",
                              kKey, u"1", DoubleByte()));
  const auto out = ReplaceKeyLine("#\x81"
                                  "ADefaultDbCachePages\n",
                                  kKey, u"1", DoubleByte());
  ASSERT_TRUE(out);
  EXPECT_EQ(*out, "DefaultDbCachePages = 1\r\n");
}

TEST(ConfigText, ValueEncodedInTheAnsiPage)
{
  const auto out = ReplaceKeyLine("DefaultDbCachePages=1", kKey, u"\u00e9\u4e00", Latin1());
  ASSERT_TRUE(out);
  EXPECT_EQ(*out, "DefaultDbCachePages = \xE9?\r\n");
}

TEST(ConfigText, EncodingFollowsTheMark)
{
  const struct {
    std::string bytes;
    TextEncoding encoding;
  } cases[] = {{"\xEF\xBB\xBFx", TextEncoding::Utf8},
               {"\xFF\xFEx\0"s, TextEncoding::Utf16LE},
               {"\xFE\xFF\0x"s, TextEncoding::Utf16BE},
               {"\xEF\xBBx", TextEncoding::Ansi},
               {"x", TextEncoding::Ansi},
               {"", TextEncoding::Ansi}};
  for (const auto& c : cases) EXPECT_EQ(ConfigText(c.bytes, Latin1()).Encoding(), c.encoding) << c.bytes;
}

TEST(ConfigText, LinesSplitAtEveryBreakKind)
{
  const ConfigText text("a\r\n\r\rb\n\nc\x00"
                        "d\ne"s,
                        Latin1());
  const std::vector<Text> expected = {u"a", u"", u"", u"b", u"", u"c", u"e"};
  ASSERT_EQ(text.LineCount(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(text.LineText(i), expected[i]) << i;
}

TEST(ConfigText, EmptyKeyMatchesNothing)
{
  EXPECT_FALSE(ReplaceKeyLine("a\nb\n", u"", u"1", Latin1()));
}

// Random content with random breaks: the output, split at CR LF, gives back every
// original line byte for byte except the one an update rewrites: the first active
// setting, else the first disabled entry, else the first comment line naming the key.
TEST(ConfigText, RandomContentKeepsEveryOtherLine)
{
  std::mt19937 random(20261209);
  const std::string alphabet = "ab=# \t\xE9\x81\x00\r\n="s;
  const std::string keys[] = {"DefaultDbCachePages", "defaultDBcachepages"};
  // The server's reading: before the comment and the first '=', blanks trimmed, then up to
  // a NUL.
  const auto active = [](std::string text) {
    text = text.substr(0, text.find('#'));
    const std::size_t eq = text.find('=');
    if (eq == std::string::npos) return false;
    std::string name = text.substr(0, eq);
    name.erase(0, name.find_first_not_of(" \t"));
    name.erase(name.find_last_not_of(" \t") + 1);
    name = name.substr(0, name.find('\0'));
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name == "defaultdbcachepages";
  };
  for (int round = 0; round < 300; ++round) {
    std::string input;
    const int length = static_cast<int>(random() % 400);
    for (int i = 0; i < length; ++i) {
      if (random() % 30 == 0) input += keys[random() % 2];
      input.push_back(alphabet[random() % alphabet.size()]);
    }
    // Reference split, one byte at a time.
    std::vector<std::string> lines;
    std::string current;
    bool open = false;
    for (std::size_t i = 0; i < input.size(); ++i) {
      const char c = input[i];
      if (c == '\r' || c == '\n') {
        lines.push_back(current);
        current.clear();
        open = false;
        if (c == '\r' && i + 1 < input.size() && input[i + 1] == '\n') ++i;
      } else {
        current.push_back(c);
        open = true;
      }
    }
    if (open) lines.push_back(current);
    std::size_t mention = lines.size(), setting = lines.size(), disabled = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::string& line = lines[i];
      const std::size_t hash = line.find_first_not_of(" \t");
      if (setting == lines.size() && active(line)) setting = i;
      if (disabled == lines.size() && hash != std::string::npos && line[hash] == '#' && active(line.substr(hash + 1)) &&
          line.find_first_not_of(" \t", hash + 1) == hash + 1)
        disabled = i;
      if (mention == lines.size() && hash != std::string::npos && line[hash] == '#' &&
          line.substr(0, line.find('\0')).find("DefaultDbCachePages") != std::string::npos)
        mention = i;
    }
    const std::size_t match = setting < lines.size() ? setting : disabled < lines.size() ? disabled : mention;
    const auto out = ReplaceKeyLine(input, kKey, u"42", Latin1());
    ASSERT_EQ(out.has_value(), match < lines.size()) << round;
    if (!out) continue;
    std::string expected;
    for (std::size_t i = 0; i < lines.size(); ++i)
      expected += (i == match ? "DefaultDbCachePages = 42"s : lines[i]) + "\r\n";
    EXPECT_EQ(*out, expected) << round;
  }
}

struct ServerCase {
  const char* name;
  std::string bytes;
  ServerSetting expected;
};

using K = ServerSetting::Kind;

// How the real engine reads a file, as measured.
TEST(ServerReading, ReadsTheFileAsTheEngineDoes)
{
  const ServerCase cases[] = {
      {"FirstActiveWins",
       "#DefaultDbCachePages = 1\ndefaultdbcachepages\t=\t 75 # x\nDefaultDbCachePages = 9\n",
       {K::Set, "75"}},
      {"NoSetting", "a = 1\nDefaultDbCachePages\n", {K::NotSet, ""}},
      {"MarkSticksToLineOne",
       "\xEF\xBB\xBF"
       "DefaultDbCachePages = 5\r\n",
       {K::NotSet, ""}},
      {"LoneCrBreaksNoLine", "# x\rDefaultDbCachePages = 5\nDefaultDbCachePages = 6", {K::Set, "6"}},
      {"NulInsideALineIsHarmless", "# a\0b\nDefaultDbCachePages = 5\0 7\n"s, {K::Set, "5"}},
      {"LineStartingWithNulSpoilsTheFile", "DefaultDbCachePages = 5\n\0x\n"s, {K::Unreadable, ""}},
      {"Utf16Refused",
       "\xFF\xFE"
       "D\0\n\0=\0"s,
       {K::Unreadable, ""}},
      {"Utf16BigEndianRefused", "\xFE\xFF\0D\0\n\0=\0\n"s, {K::Unreadable, ""}},
      {"QuotedCommentSignIsNoComment", "DefaultDbCachePages = \"7#\" # x\n", {K::Set, "\"7#\""}},
      {"UnclosedQuoteRefusesTheFile", "DefaultDbCachePages = 5\nA = \"1\n", {K::Unreadable, ""}},
      {"NoKeyRefusesTheFile", " = 5\nDefaultDbCachePages = 5\n", {K::Unreadable, ""}},
      {"NulEndsTheKey", "DefaultDbCachePages\0x = 5\n"s, {K::Set, "5"}},
  };
  for (const ServerCase& c : cases) EXPECT_EQ(ServerReadsSetting(c.bytes, "DefaultDbCachePages"), c.expected) << c.name;
  const std::pair<const char*, std::int32_t> pages[] = {
      {"1024", 1024}, {"0075", 75},  {"\"1024\"", 1024},   {"1k", 1024},        {"2M", 2 << 20},
      {"10", 50},     {"+1024", 50}, {"0x400", 50},        {"$200", 50},        {"1 000", 50},
      {"1kb", 50},    {"-1", 2048},  {"2147483648", 2048}, {"4294967396", 100}, {"4194304k", 50}};
  for (const auto& [value, count] : pages) EXPECT_EQ(ServerCachePages(value), count) << value;
  // Without a setting the server's default follows its ServerMode, read by the same rules.
  const std::pair<std::string, std::int32_t> modes[] = {
      {"", 2048},
      {"ServerMode = Super\n", 2048},
      {"ServerMode = ThreadedDedicated\n", 2048},
      {"servermode = classic # one process per attachment\n", 256},
      {"ServerMode = \"SuperClassic\"\n", 256},
      {"ServerMode\t=\tThreadedShared\r\n", 256},
      {"ServerMode = MultiProcess\n", 256},
      {"#ServerMode = Classic\n", 2048},
      {"ServerMode = Super\nServerMode = Classic\n", 2048},
      {"ServerMode = Classic\nServerMode = Super\n", 256},
      {"ServerMode = Classical\n", 2048},
      {"\xEF\xBB\xBFServerMode = Classic\n", 2048},
      {"ServerMode = Classic\n\0\n"s, 2048},
  };
  for (const auto& [bytes, count] : modes) EXPECT_EQ(ServerDefaultCachePages(bytes), count) << bytes;
  EXPECT_EQ(ServerCachePages("-1", 256), 256);
}

// databases.conf: the entries that set their own cache pages inside their braces.
TEST(ServerReading, DatabaseEntriesWithTheirOwnCachePages)
{
  using O = DatabaseCacheOverride;
  const struct {
    const char* name;
    std::string bytes;
    std::vector<O> expected;
  } cases[] = {
      {"StockSecurityEntry",
       "employee.fdb = $(dir_sampleDb)/employee.fdb\r\nemployee = $(dir_sampleDb)/employee.fdb\r\n\r\n"
       "security.db = $(dir_secDb)/security3.fdb\r\n{\r\n\tRemoteAccess = false\r\n"
       "\tDefaultDbCachePages = 50\r\n}\r\n",
       {O{"security.db", "50"}}},
      {"BraceOnTheEntryLine", "big = D:\\db\\big.fdb {\n  defaultdbcachepages = 8k # large\n}\n", {O{"big", "8k"}}},
      {"FirstSettingInABlockWins",
       "a = a.fdb\n{\nDefaultDbCachePages = 1\nDefaultDbCachePages = 2\n}\n",
       {O{"a", "1"}}},
      {"BlockWithoutTheKey", "a = a.fdb\n{\nRemoteAccess = false\n}\n", {}},
      {"CommentedKey", "a = a.fdb\n{\n#DefaultDbCachePages = 5\n}\n", {}},
      {"EachEntryItsOwn",
       "a = a.fdb\n{\nDefaultDbCachePages = 5\n}\nb = b.fdb\n{\nDefaultDbCachePages = 6\n}\n",
       {O{"a", "5"}, O{"b", "6"}}},
      {"BlockNeverClosed", "a = a.fdb\n{\nDefaultDbCachePages = 5\n", {}},
      {"BlockWithoutEntry", "{\nDefaultDbCachePages = 5\n}\n", {}},
      {"TopLevelSettingIsNoEntry", "DefaultDbCachePages = 5\n", {}},
      {"LineStartingWithNul", "a = a.fdb\n{\nDefaultDbCachePages = 5\n}\n\0\n"s, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(DatabaseCacheOverrides(c.bytes, "DefaultDbCachePages"), c.expected) << c.name;
}

// Whether an update takes effect is judged by reading the rewritten file as the server does.
TEST(ServerReading, PlanTellsWhetherTheServerTakesTheValue)
{
  const struct {
    const char* name;
    std::string bytes;
    bool rewrites, takesEffect;
    std::int32_t defaultPages = 2048;
  } cases[] = {
      {"ActiveSetting", "DefaultDbCachePages = 5\n", true, true},
      {"OnlyAMention", "# see DefaultDbCachePages\n", true, true},
      {"NoKey", "a = 1\n", false, false},
      {"Utf16", kBomLE + Utf16(u"DefaultDbCachePages = 5", true), true, false},
      {"SpoiledByANulLine", "DefaultDbCachePages = 5\n\0\n"s, true, false},
      {"MarkedFirstLine",
       "\xEF\xBB\xBF"
       "DefaultDbCachePages = 5",
       true, true},
      {"ClassicServer", "ServerMode = Classic\n#DefaultDbCachePages = 2048\n", true, true, 256},
  };
  for (const auto& c : cases) {
    const ConfigFilePlan plan = PlanKeyLine(c.bytes, kKey, u"1024", Latin1());
    EXPECT_EQ(plan.rewrites, c.rewrites) << c.name;
    EXPECT_EQ(plan.takesEffect, c.takesEffect) << c.name;
    EXPECT_EQ(plan.defaultPages, c.defaultPages) << c.name;
  }
}

} // namespace
} // namespace fbu
