#include <gtest/gtest.h>

#include <vector>

#include "app/services/ServerInstances.h"
#include "tools/ServiceQueriesCore.h"

namespace fbu {
namespace {

TStringList ListOf(std::initializer_list<const char16_t*> items)
{
  TStringList list;
  for (const auto* item : items) list.Add(item);
  return list;
}

std::vector<Text> Entries(const TStringList& list)
{
  return {list.begin(), list.end()};
}

TEST(ServiceNameMatches, Table)
{
  struct Case {
    const char16_t* name;
    const char16_t* pattern;
    bool exact;
    bool matches;
  };
  const Case cases[] = {
      {u"FirebirdServerDefaultInstance", u"FirebirdServer", false, true},
      {u"FirebirdServerDefaultInstance", u"FirebirdServer", true, false},
      {u"FirebirdServerDefaultInstance", u"firebirdserverdefaultinstance", true, true},
      {u"FIREBIRDSERVERDEFAULTINSTANCE", u"FirebirdServer", false, true},
      {u"MyFirebirdServer", u"FirebirdServer", false, true},
      {u"FirebirdGuardian", u"FirebirdServer", false, false},
      {u"Firebird", u"FirebirdServer", false, false},
      // Only a-z fold: accented and other letters must match exactly.
      {u"SERVICE\u00C9", u"service\u00E9", true, false},
      {u"SERVICE\u00C9", u"service\u00C9", true, true},
      {u"\u0414\u0411", u"\u0434\u0431", false, false},
      // The pattern is compared as it is, blanks included.
      {u"FirebirdServer", u" FirebirdServer", false, false},
      {u"Fb Server", u"b s", false, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ServiceNameMatches(c.name, c.pattern, c.exact), c.matches)
        << ToUtf8(c.name) << " / " << ToUtf8(c.pattern) << " exact=" << c.exact;
  }
}

TEST(KeepMatchingServiceNames, KeepsMatchesInOrderAndDropsAdjacentMisses)
{
  TStringList names =
      ListOf({u"Spooler", u"FirebirdServerA", u"x", u"y", u"firebirdserverB", u"FirebirdGuardian", u"FIREBIRDSERVER"});
  KeepMatchingServiceNames(names, u"FirebirdServer", false);
  EXPECT_EQ(Entries(names), (std::vector<Text>{u"FirebirdServerA", u"firebirdserverB", u"FIREBIRDSERVER"}));

  KeepMatchingServiceNames(names, u"FirebirdServer", true);
  EXPECT_EQ(Entries(names), (std::vector<Text>{u"FIREBIRDSERVER"}));

  KeepMatchingServiceNames(names, u"Nothing", false);
  EXPECT_EQ(names.Count(), 0);
}

TEST(FindServicesIn, BlankPatternOrNoListFailsWithoutEnumeratingAndKeepsTheList)
{
  for (const char16_t* pattern : {u"", u" ", u" \t\r\n ", u"\x01\x1F\x20"}) {
    TStringList list = ListOf({u"kept", u"as it was"});
    bool enumerated = false;
    EXPECT_FALSE(FindServicesIn(&list, pattern, false, [&](TStringList*) { return enumerated = true; }))
        << ToUtf8(pattern);
    EXPECT_FALSE(enumerated);
    EXPECT_EQ(Entries(list), (std::vector<Text>{u"kept", u"as it was"}));
  }
  bool enumerated = false;
  EXPECT_FALSE(FindServicesIn(nullptr, u"Firebird", false, [&](TStringList*) { return enumerated = true; }));
  EXPECT_FALSE(enumerated);
}

TEST(FindServicesIn, FiltersTheEnumeratedNames)
{
  TStringList list = ListOf({u"stale"});
  const auto enumerate = [](TStringList* names) {
    names->Clear();
    names->Add(u"FirebirdServerDefaultInstance");
    names->Add(u"Spooler");
    names->Add(u"FirebirdServerOther");
    return true;
  };
  ASSERT_TRUE(FindServicesIn(&list, u"firebirdserver", false, enumerate));
  EXPECT_EQ(Entries(list), (std::vector<Text>{u"FirebirdServerDefaultInstance", u"FirebirdServerOther"}));

  // A pattern with blanks around it is not blank, and it is matched with its blanks.
  ASSERT_TRUE(FindServicesIn(&list, u" Spooler", true, enumerate));
  EXPECT_EQ(list.Count(), 0);
}

TEST(FindServicesIn, FailedEnumerationFails)
{
  TStringList list = ListOf({u"stale"});
  EXPECT_FALSE(FindServicesIn(&list, u"Firebird", false, [](TStringList* names) {
    names->Clear();
    return false;
  }));
  EXPECT_EQ(list.Count(), 0);
}

TEST(ServiceBinaryPathFolder, Table)
{
  struct Case {
    const char16_t* path;
    const char16_t* folder;
  };
  const Case cases[] = {
      {u"C:\\Program Files\\Firebird\\bin\\fbserver.exe", u"C:\\Program Files\\Firebird\\bin"},
      {u"\"C:\\Program Files\\Firebird\\bin\\fbserver.exe\" -s DefaultInstance", u"C:\\Program Files\\Firebird\\bin"},
      // A separator inside a switch never moves the cut.
      {u"\"C:\\Fb\\bin\\fbserver.exe\" -c C:\\Fb\\conf", u"C:\\Fb\\bin"},
      {u"\"C:\\Fb\\bin\\fbserver.exe\" -s x:y", u"C:\\Fb\\bin"},
      {u"C:\\Program Files\\Fb\\bin\\fbserver.exe -s C:\\x", u"C:\\Program Files\\Fb\\bin"},
      {u"D:/Fb/bin/firebird.exe", u"D:/Fb/bin"},
      {u"C:\\fbserver.exe", u"C:"},
      {u"\"C:\\fbserver.exe\"", u"C:"},
      {u"C:fbserver.exe", u"C"},
      {u"fbserver.exe", u""},
      {u"\"fbserver.exe\" -s", u""},
      {u"", u""},
      {u"\\\\server\\share\\fb\\fbserver.exe", u"\\\\server\\share\\fb"},
      {u"C:\\Fb\\bin\\", u"C:\\Fb\\bin"},
      {u"\"C:\\Fb\\bin\\fbserver.exe", u"C:\\Fb\\bin"}, // never closed
  };
  for (const auto& c : cases) EXPECT_EQ(ServiceBinaryPathFolder(c.path), Text(c.folder)) << ToUtf8(c.path);
}

// The installation a Firebird service runs from: the executable's folder, a bin folder's parent.
TEST(InstallationRoot, Table)
{
  struct Case {
    const char16_t* path;
    const char16_t* root;
  };
  const Case cases[] = {
      {u"\"C:\\Program Files\\Firebird\\Firebird_3_0\\firebird.exe\" -s DefaultInstance",
       u"C:\\Program Files\\Firebird\\Firebird_3_0"},
      {u"\"C:\\Program Files\\Firebird\\Firebird_2_5\\bin\\fbserver.exe\" -s DefaultInstance",
       u"C:\\Program Files\\Firebird\\Firebird_2_5"},
      {u"C:\\Fb25\\BIN\\fb_inet_server.exe", u"C:\\Fb25"},
      // A separator inside a switch does not move the cut of a quoted executable.
      {u"\"C:\\Fb\\bin\\fbguard.exe\" -c C:\\Fb\\conf", u"C:\\Fb"},
      {u"\"C:\\Fb\\binaries\\firebird.exe\"", u"C:\\Fb\\binaries"},
      {u"\"D:/Fb/bin/firebird.exe\"", u"D:\\Fb"},
      {u"\"C:\\firebird.exe\"", u"C:\\"},
      {u"firebird.exe -s x", u""},
      {u"", u""},
      // Unquoted with blanks, as the service manager reads it: up to the first ".exe".
      {u"C:\\Program Files\\Firebird\\Firebird_3_0\\firebird.exe -s DefaultInstance",
       u"C:\\Program Files\\Firebird\\Firebird_3_0"},
      {u"C:\\Fb 25\\bin\\fbserver.EXE -a -c D:\\conf\\x", u"C:\\Fb 25"},
  };
  for (const auto& c : cases) EXPECT_EQ(InstallationRoot(c.path), Text(c.root)) << ToUtf8(c.path);
}

TEST(AddDistinctFolder, TrimsSkipsEmptyAndIgnoresCase)
{
  TStringList folders;
  const struct {
    const char16_t* folder;
    bool added;
  } steps[] = {
      {u"  C:\\Fb\\Bin \t", true},
      {u"c:\\fb\\bin", false},
      {u"C:\\FB\\BIN  ", false},
      {u"C:\\Fb\\bin2", true},
      {u"   ", false},
      {u"", false},
      {u"C:", true},
      {u"c:", false},
  };
  for (const auto& s : steps) EXPECT_EQ(AddDistinctFolder(folders, s.folder), s.added) << ToUtf8(s.folder);
  // The first spelling seen is kept, trimmed.
  EXPECT_EQ(Entries(folders), (std::vector<Text>{u"C:\\Fb\\Bin", u"C:\\Fb\\bin2", u"C:"}));
}

} // namespace
} // namespace fbu
