#include <gtest/gtest.h>

#include <cmath>

#include "FakeClient.h"
#include "dbclient/IBBinding.h"
#include "dbclient/IBError.h"

namespace fbu {
namespace {

using namespace fbu::test;

TEST(ReplaceFirstBinWithWow64, OnlyTheFirstExactBinFolder)
{
  const std::pair<Text, Text> cases[] = {
      {u"C:\\Firebird\\bin\\fbclient.dll", u"C:\\Firebird\\Wow64\\fbclient.dll"},
      {u"D:\\bin\\Firebird\\bin\\fbclient.dll", u"D:\\Wow64\\Firebird\\bin\\fbclient.dll"},
      {u"C:\\Firebird\\BIN\\fbclient.dll", u"C:\\Firebird\\BIN\\fbclient.dll"},
      {u"C:\\Firebird\\Bin\\fbclient.dll", u"C:\\Firebird\\Bin\\fbclient.dll"},
      {u"C:\\Firebird\\binaries\\fbclient.dll", u"C:\\Firebird\\binaries\\fbclient.dll"},
      {u"C:\\Firebird\\bin", u"C:\\Firebird\\bin"},
      {u"\\bin\\", u"\\Wow64\\"},
      {u"", u""},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(ReplaceFirstBinWithWow64(in), out) << ToUtf8(in);
}

TEST(LocateClientLibrary, JoinsTheServerFolderAndTheLibraryName)
{
  const std::pair<Text, Text> cases[] = {
      {u"C:\\Firebird\\bin", u"C:\\Firebird\\bin\\fbclient.dll"},
      {u"C:\\Firebird\\bin\\", u"C:\\Firebird\\bin\\fbclient.dll"},
      {u"C:\\", u"C:\\fbclient.dll"},
  };
  for (const auto& [folder, path] : cases) {
    FakeHost host;
    host.ServerFolder(folder);
    EXPECT_EQ(LocateClientLibrary(host, u"fbclient.dll"), path);
    EXPECT_EQ(host.imageChecks, std::vector<Text>{path});
  }
}

TEST(LocateClientLibrary, NoSingleServerFolderGivesNoPath)
{
  FakeHost host;
  host.folder = u"C:\\ignored"; // what the query leaves does not matter when it answers false
  EXPECT_EQ(LocateClientLibrary(host, u"fbclient.dll"), u"");
  EXPECT_EQ(host.imageChecks, std::vector<Text>{u""});
}

TEST(LocateClientLibrary, AnX64ImageLeadsToTheWow64Folder)
{
  FakeHost host;
  host.ServerFolder(u"D:\\bin\\Firebird\\bin");
  host.x64Images.insert(u"D:\\bin\\Firebird\\bin\\ibtogo.dll");
  EXPECT_EQ(LocateClientLibrary(host, u"ibtogo.dll"), u"D:\\Wow64\\Firebird\\bin\\ibtogo.dll");
}

TEST(LocateClientLibrary, AnUnreadableImageRaises)
{
  FakeHost host;
  host.ServerFolder(u"C:\\Firebird\\bin");
  host.imageCheck = [](const Text&) { throw Exception(u"Unknown PE target"); };
  EXPECT_THROW(LocateClientLibrary(host, u"fbclient.dll"), Exception);
}

TEST(IBClientVersion, MajorPlusMinorTenthsInTenThousandths)
{
  // The value the client's two numbers stand for, rounded to a ten-thousandth in the
  // widest floating point there is, must be what the integer arithmetic gives.
  const std::pair<int, int> cases[] = {{2, 5},
                                       {7, 1},
                                       {8, 0},
                                       {6, 9},
                                       {7, 0},
                                       {3, 0},
                                       {0, 0},
                                       {-1, 5},
                                       {10, 12},
                                       {INT32_MAX, INT32_MAX},
                                       {INT32_MIN, INT32_MIN}};
  for (const auto& [major, minor] : cases) {
    const long double expected = std::roundl((major + minor / 10.0L) * 10000.0L);
    EXPECT_EQ(static_cast<long double>(IBClientVersion(major, minor)), expected) << major << "." << minor;
  }
  EXPECT_LT(IBClientVersion(6, 9), kIBVersion70);
  EXPECT_EQ(IBClientVersion(7, 0), kIBVersion70);
  EXPECT_LT(IBClientVersion(7, 0), kIBVersion71);
  EXPECT_EQ(IBClientVersion(7, 1), kIBVersion71);
  EXPECT_LT(IBClientVersion(7, 9), kIBVersion80);
  EXPECT_EQ(IBClientVersion(8, 0), kIBVersion80);
}

// What a slot must hold after binding: the module's own entry point, or a stub kind.
enum class Holds { Bound, Version6, Version70, Version71, Version2007 };

struct Expectation {
  const std::vector<std::string>* names;
  Holds holds;
};

// The message a stub of a kind raises for an entry point, and its SQLCode.
std::pair<int, std::string> StubError(Holds kind, const std::string& name)
{
  switch (kind) {
  case Holds::Version6:
    return {3, (name == "isc_encode_timestamp" ? "isc_encode_sql_timestamp" : name) +
                   " is an InterBase 6 function. Please upgrade to InterBase 6 to use this functonality"};
  case Holds::Version70:
    return {0, name + "  is an InterBase 7.0 function. Please upgrade to InterBase 7.0 to use this functonality"};
  case Holds::Version71:
    return {0, name + "  is an InterBase 7.1 function. Please upgrade to InterBase 7.1 to use this functonality"};
  case Holds::Version2007:
    return {0, name + " is an InterBase 2007 function. Please upgrade to InterBase 2007 to use this functonality"};
  default: return {-1, ""};
  }
}

void ExpectSlots(const IBSlots& slots, const FakeLibrary& lib, const std::vector<Expectation>& expectations)
{
  for (const auto& [names, holds] : expectations) {
    for (const auto& name : *names) {
      const IBEntry e = EntryByName(name);
      if (holds == Holds::Bound) {
        EXPECT_EQ(reinterpret_cast<void*>(slots[Index(e)]), lib.exports.at(name)) << name;
      } else {
        const Raised raised = CallStub(e, slots[Index(e)]);
        const auto [code, message] = StubError(holds, name);
        EXPECT_EQ(raised.sqlCode, code) << name;
        EXPECT_EQ(raised.message, message) << name;
      }
    }
  }
}

const std::vector<std::string> kRollbackRetaining = {"isc_rollback_retaining"};

TEST(BindClientLibrary, Version5Client)
{
  const FakeLibrary lib = Client50();
  FakeModule module(lib, std::make_shared<ModuleLog>());
  const IBClientBinding bound = BindClientLibrary(module);
  EXPECT_EQ(bound.version, 50000);
  ExpectSlots(bound.slots, lib,
              {{&kRequiredNames, Holds::Bound},
               {&kVersion6Names, Holds::Version6},
               {&kRollbackRetaining, Holds::Version6},
               {&kClientVersionNames, Holds::Version70},
               {&kVersion70Names, Holds::Version70},
               {&kVersion71Names, Holds::Version71},
               {&kVersion80Names, Holds::Version2007}});
}

TEST(BindClientLibrary, Version6ClientWithoutClientVersion)
{
  const FakeLibrary lib = Client60();
  FakeModule module(lib, std::make_shared<ModuleLog>());
  const IBClientBinding bound = BindClientLibrary(module);
  EXPECT_EQ(bound.version, 60000);
  ExpectSlots(bound.slots, lib,
              {{&kRequiredNames, Holds::Bound},
               {&kVersion6Names, Holds::Bound},
               {&kRollbackRetaining, Holds::Bound},
               {&kClientVersionNames, Holds::Version70},
               {&kVersion70Names, Holds::Version70},
               {&kVersion71Names, Holds::Version71},
               {&kVersion80Names, Holds::Version2007}});
}

TEST(BindClientLibrary, ReportedVersionsDecideTheLaterGroups)
{
  struct Case {
    FakeLibrary lib;
    std::int64_t version;
    Holds v70, v71, v80;
  };
  const Case cases[] = {
      {ClientReporting<2, 5>(), 25000, Holds::Version70, Holds::Version71, Holds::Version2007},
      {ClientReporting<6, 9>(), 69000, Holds::Version70, Holds::Version71, Holds::Version2007},
      {ClientReporting<7, 0>(), 70000, Holds::Bound, Holds::Version71, Holds::Version2007},
      {ClientReporting<7, 1>(), 71000, Holds::Bound, Holds::Bound, Holds::Version2007},
      {ClientReporting<7, 5>(), 75000, Holds::Bound, Holds::Bound, Holds::Version2007},
      {ClientReporting<8, 0>(), 80000, Holds::Bound, Holds::Bound, Holds::Bound},
      {ClientReporting<12, 0>(), 120000, Holds::Bound, Holds::Bound, Holds::Bound},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    FakeModule module(c.lib, std::make_shared<ModuleLog>());
    const IBClientBinding bound = BindClientLibrary(module);
    EXPECT_EQ(bound.version, c.version);
    ExpectSlots(bound.slots, c.lib,
                {{&kRequiredNames, Holds::Bound},
                 {&kVersion6Names, Holds::Bound},
                 {&kRollbackRetaining, Holds::Bound},
                 {&kClientVersionNames, Holds::Bound},
                 {&kVersion70Names, c.v70},
                 {&kVersion71Names, c.v71},
                 {&kVersion80Names, c.v80}});
  }
}

TEST(BindClientLibrary, LooksUpInTheDocumentedOrder)
{
  auto log = std::make_shared<ModuleLog>();
  FakeModule module(ClientReporting<8, 0>(), log);
  BindClientLibrary(module);
  std::vector<std::string> expected = kRequiredNames;
  expected.insert(expected.end(), kRollbackRetaining.begin(), kRollbackRetaining.end());
  expected.insert(expected.end(), kVersion6Names.begin(), kVersion6Names.end());
  expected.insert(expected.end(), kClientVersionNames.begin(), kClientVersionNames.end());
  expected.insert(expected.end(), kVersion70Names.begin(), kVersion70Names.end());
  expected.insert(expected.end(), kVersion71Names.begin(), kVersion71Names.end());
  expected.insert(expected.end(), kVersion80Names.begin(), kVersion80Names.end());
  EXPECT_EQ(log->lookups, expected);
}

TEST(BindClientLibrary, AMissingRequiredEntryPointRaisesTheLookupError)
{
  struct Case {
    const char* missing;
    FakeLibrary lib;
  };
  const Case cases[] = {
      {"BLOB_get", Client50()},
      {"isc_que_events", ClientReporting<8, 0>()},
      {"isc_transaction_info", Client60()},
      {"isc_encode_timestamp", Client60()},                      // required once isc_rollback_retaining is there
      {"isc_get_client_minor_version", ClientReporting<2, 5>()}, // required once isc_get_client_version is there
      {"isc_blob_set_desc2", ClientReporting<7, 0>()},
      {"isc_start_savepoint", ClientReporting<7, 1>()},
      {"isc_dsql_batch_execute", ClientReporting<8, 0>()},
  };
  for (auto c : cases) {
    c.lib.Remove(c.missing);
    FakeModule module(c.lib, std::make_shared<ModuleLog>());
    try {
      BindClientLibrary(module);
      ADD_FAILURE() << c.missing;
    } catch (const EOSError& e) {
      EXPECT_EQ(e.ErrorCode, 127u) << c.missing;
      EXPECT_EQ(e.Message(), Format(u"System Error.  Code: %d.\r\n%s", {std::int64_t{127}, SysErrorMessage(127)}));
    }
  }
}

TEST(BindClientLibrary, ASevenClientWithoutTheVersion7EntryPointsFails)
{
  // A client that reports 7.0 but lacks what 7.0 brings is refused, not half bound.
  FakeLibrary lib = ClientReporting<6, 0>();
  lib.Set("isc_get_client_major_version", &ReportMajor<7>);
  FakeModule module(lib, std::make_shared<ModuleLog>());
  EXPECT_THROW(BindClientLibrary(module), EOSError);
}

TEST(BindXmlLibrary, BindsAllThreeOrGivesVersion65Stubs)
{
  const FakeLibrary lib = XmlLibrary();
  FakeModule module(lib, std::make_shared<ModuleLog>());
  const IBXmlSlots bound = BindXmlLibrary(&module);
  for (std::size_t i = 0; i < kIBXmlSlotCount; ++i)
    EXPECT_EQ(reinterpret_cast<void*>(bound[i]), lib.exports.at(kXmlNames[i]));

  const IBXmlSlots stubs = BindXmlLibrary(nullptr);
  for (std::size_t i = 0; i < kIBXmlSlotCount; ++i) {
    const Raised raised = CallStub(EntryByName(kXmlNames[i]), stubs[i]);
    EXPECT_EQ(raised.sqlCode, 0);
    EXPECT_EQ(raised.message, kXmlNames[i] + "  is an InterBase 6.5 function. Please upgrade to InterBase 6.5 to use "
                                             "this functonality");
  }
}

TEST(BindXmlLibrary, AMissingXmlEntryPointRaises)
{
  for (const auto& missing : kXmlNames) {
    FakeLibrary lib = XmlLibrary();
    lib.Remove(missing);
    FakeModule module(lib, std::make_shared<ModuleLog>());
    EXPECT_THROW(BindXmlLibrary(&module), EOSError) << missing;
  }
}

TEST(NotLoadedSlots, EveryStubReportsTheLibraryAsNotLoaded)
{
  const IBSlots slots = NotLoadedSlots();
  for (std::size_t i = 0; i < kIBSlotCount; ++i)
    EXPECT_TRUE(CallStub(static_cast<IBEntry>(i), slots[i]).notLoadedSignal) << kIBEntryNames[i];
  const IBXmlSlots xml = NotLoadedXmlSlots();
  for (std::size_t i = 0; i < kIBXmlSlotCount; ++i) {
    const Raised raised = CallStub(EntryByName(kXmlNames[i]), xml[i]);
    EXPECT_EQ(raised.sqlCode, 1);
    EXPECT_EQ(raised.message,
              "InterBase library ibxml.dll not found in the path. Please install InterBase to use this functionality");
  }
}

} // namespace
} // namespace fbu
