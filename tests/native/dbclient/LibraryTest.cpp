#include <gtest/gtest.h>

#include <cstdarg>
#include <stdexcept>

#include "FakeClient.h"
#include "dbclient/IBIntf.h"
#include "support/ErrorText.h"

namespace fbu {
namespace {

using namespace fbu::test;

const char* const kNotFoundServer =
    "InterBase library fbclient.dll not found in the path. Please install InterBase to use this functionality";
const char* const kNotFoundEmbedded =
    "InterBase library ibtogo.dll not found in the path. Please install InterBase to use this functionality";
const char* const kNotFoundXml =
    "InterBase library ibxml.dll not found in the path. Please install InterBase to use this functionality";

// Entry points that record what the forwarding operations pass on.
struct Recorded {
  std::string bytes;
  short length = 0;
  std::vector<std::string> eventNames;
  int xmlCalls = 0;
};
Recorded gRecorded;

ISC_LONG FBU_IBAPI RecordVaxInteger(const ISC_SCHAR* bytes, short length)
{
  gRecorded.bytes.assign(bytes, static_cast<std::size_t>(length));
  gRecorded.length = length;
  return 4242;
}

ISC_LONG FBU_IBAPI_VARARG RecordEventBlock(ISC_UCHAR**, ISC_UCHAR**, ISC_USHORT count, ...)
{
  std::va_list list;
  va_start(list, count);
  gRecorded.eventNames.clear();
  for (int i = 0; i < count; ++i) gRecorded.eventNames.emplace_back(va_arg(list, const char*));
  va_end(list);
  return count * 10;
}

int FBU_IBAPI RecordXmlFetch(ISC_STATUS*, isc_stmt_handle*, ISC_USHORT, XSQLDA*, IB_XMLDA*)
{
  return ++gRecorded.xmlCalls;
}

// A variant over a fake host, with a server folder holding a 2.5 client and an XML
// library on the search path, unless a test changes that.
class TIBServerLibraryTest : public ::testing::Test {
protected:
  TIBServerLibraryTest()
  {
    gRecorded = {};
    host->ServerFolder(u"C:\\Program Files\\Firebird\\bin");
    host->files[kClientPath] =
        ClientReporting<2, 5>().Set("isc_vax_integer", &RecordVaxInteger).Set("isc_event_block", &RecordEventBlock);
    host->files[u"ibxml.dll"] = XmlLibrary().Set("isc_dsql_xml_fetch", &RecordXmlFetch);
  }
  ~TIBServerLibraryTest() override
  {
    server.FreeIBLibrary();
    embedded.FreeIBLibrary();
  }

  static std::string ErrorOf(const std::function<void()>& action, int* sqlCode = nullptr)
  {
    return test::ClientErrorOf(action, sqlCode);
  }

  const Text kClientPath = u"C:\\Program Files\\Firebird\\bin\\fbclient.dll";
  std::shared_ptr<FakeHost> host = std::make_shared<FakeHost>();
  TIBServerLibrary server{host};
  TIBEmbeddedLibrary embedded{host};
};

TEST_F(TIBServerLibraryTest, LoadsOnTheFirstCheckOnly)
{
  EXPECT_TRUE(server.TryIBLoad());
  EXPECT_EQ(host->log->loads, (std::vector<Text>{kClientPath, u"ibxml.dll"}));
  server.CheckIBLoaded();
  EXPECT_EQ(server.GetIBClientVersion(), 25000);
  EXPECT_TRUE(server.TryIBLoad());
  EXPECT_EQ(host->log->loads.size(), 2u);
  EXPECT_EQ(host->log->live, 2);
}

TEST_F(TIBServerLibraryTest, WithoutAServerFolderNothingIsLoaded)
{
  host->hasFolder = false;
  host->files[u"fbclient.dll"] = ClientReporting<8, 0>(); // as if beside the program or on the search path
  EXPECT_FALSE(server.TryIBLoad());
  EXPECT_TRUE(host->log->loads.empty());
  int code = 0;
  EXPECT_EQ(ErrorOf([&] { server.CheckIBLoaded(); }, &code), kNotFoundServer);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(ErrorOf([&] { server.GetIBClientVersion(); }), kNotFoundServer);
  EXPECT_EQ(ErrorOf([&] { embedded.CheckIBLoaded(); }), kNotFoundEmbedded);
}

TEST_F(TIBServerLibraryTest, AFailedCheckIsTriedAgainFromTheStart)
{
  host->hasFolder = false;
  EXPECT_FALSE(server.TryIBLoad());
  EXPECT_FALSE(server.TryIBLoad());
  EXPECT_EQ(host->imageChecks.size(), 2u);
  host->ServerFolder(u"C:\\Program Files\\Firebird\\bin"); // the server is installed meanwhile
  EXPECT_TRUE(server.TryIBLoad());
  EXPECT_EQ(server.GetIBClientVersion(), 25000);
}

TEST_F(TIBServerLibraryTest, AnUnclassifiableImageRaisesAndChangesNothing)
{
  server.CheckIBLoaded();
  host->imageCheck = [](const Text&) { throw Exception(u"Unknown PE target"); };
  EXPECT_EQ(ErrorOf([&] { server.LoadIBLibrary(); }), "other: Unknown PE target");
  EXPECT_TRUE(server.Loaded());
  EXPECT_EQ(server.isc_vax_integer("\x01\x02", 2), 4242);

  TIBServerLibrary fresh(host);
  EXPECT_EQ(ErrorOf([&] { fresh.CheckIBLoaded(); }), "other: Unknown PE target");
  EXPECT_FALSE(fresh.Loaded());
}

TEST_F(TIBServerLibraryTest, ForwardingPassesArgumentsAndResults)
{
  server.CheckIBLoaded();
  EXPECT_EQ(server.isc_vax_integer("\x05\x06\x07", 3), 4242);
  EXPECT_EQ(gRecorded.bytes, "\x05\x06\x07");
  EXPECT_EQ(gRecorded.length, 3);
  EXPECT_EQ(server.isc_get_client_major_version(), 2);
  EXPECT_EQ(server.isc_get_client_minor_version(), 5);
}

TEST_F(TIBServerLibraryTest, EventBlockPassesTheNamesOn)
{
  server.CheckIBLoaded();
  ISC_UCHAR* events = nullptr;
  ISC_UCHAR* results = nullptr;
  EXPECT_EQ(server.isc_event_block(&events, &results, 3, "one", "two", "three"), 30);
  EXPECT_EQ(gRecorded.eventNames, (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_EQ(server.isc_event_block(&events, &results, 15, "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12",
                                   "13", "14", "15"),
            150);
  EXPECT_EQ(gRecorded.eventNames.back(), "15");
  EXPECT_THROW(server.isc_event_block(&events, &results, 16, "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11",
                                      "12", "13", "14", "15", "16"),
               std::invalid_argument);
}

TEST_F(TIBServerLibraryTest, StubsOfTheLoadedVersionRaiseThroughForwarding)
{
  server.CheckIBLoaded();
  EXPECT_EQ(ErrorOf([&] { server.isc_start_savepoint(nullptr, nullptr, nullptr); }),
            "isc_start_savepoint  is an InterBase 7.1 function. Please upgrade to InterBase 7.1 to use this "
            "functonality");
  EXPECT_EQ(ErrorOf([&] { server.isc_dsql_batch_execute(nullptr, nullptr, nullptr, 3, nullptr, 0, nullptr, nullptr); }),
            "isc_dsql_batch_execute is an InterBase 2007 function. Please upgrade to InterBase 2007 to use this "
            "functonality");
}

TEST_F(TIBServerLibraryTest, ForwardingOnAVariantNeverLoadedRaisesNotFound)
{
  int code = 0;
  EXPECT_EQ(ErrorOf([&] { server.isc_attach_database(nullptr, 0, nullptr, nullptr, 0, nullptr); }, &code),
            kNotFoundServer);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(ErrorOf([&] { embedded.isc_get_client_major_version(); }), kNotFoundEmbedded);
  ISC_UCHAR* buffer = nullptr;
  EXPECT_EQ(ErrorOf([&] { server.isc_event_block(&buffer, &buffer, 1, "x"); }), kNotFoundServer);
  EXPECT_TRUE(host->log->loads.empty()); // forwarding never loads
}

TEST_F(TIBServerLibraryTest, FreeReleasesBothLibrariesAndResetsEverySlot)
{
  server.CheckIBLoaded();
  ASSERT_EQ(XmlFetchSlot<IBEntry::isc_dsql_xml_fetch>()(nullptr, nullptr, 3, nullptr, nullptr), 1);
  server.FreeIBLibrary();
  EXPECT_EQ(host->log->live, 0);
  EXPECT_FALSE(server.Loaded());
  EXPECT_EQ(ErrorOf([&] { server.isc_vax_integer("\x01", 1); }), kNotFoundServer);
  EXPECT_EQ(ErrorOf([&] { server.isc_start_savepoint(nullptr, nullptr, nullptr); }), kNotFoundServer);
  EXPECT_EQ(ErrorOf([] { XmlFetchSlot<IBEntry::isc_dsql_xml_fetch_all>()(nullptr, nullptr, 3, nullptr, nullptr); }),
            kNotFoundXml);
  // The next check loads and binds again.
  EXPECT_EQ(server.GetIBClientVersion(), 25000);
  EXPECT_EQ(host->log->live, 2);
  EXPECT_EQ(server.isc_vax_integer("\x01", 1), 4242);
}

TEST_F(TIBServerLibraryTest, FreeOnANeverLoadedVariantAndTwice)
{
  server.FreeIBLibrary();
  server.FreeIBLibrary();
  EXPECT_FALSE(server.Loaded());
  server.CheckIBLoaded();
  server.FreeIBLibrary();
  server.FreeIBLibrary();
  EXPECT_EQ(host->log->live, 0);
}

TEST_F(TIBServerLibraryTest, AMissingRequiredEntryPointReleasesTheDll)
{
  host->files[kClientPath].Remove("isc_que_events");
  try {
    server.CheckIBLoaded();
    ADD_FAILURE();
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode, 127u);
  }
  EXPECT_FALSE(server.Loaded());
  EXPECT_EQ(host->log->live, 0);
  EXPECT_EQ(ErrorOf([&] { server.isc_attach_database(nullptr, 0, nullptr, nullptr, 0, nullptr); }), kNotFoundServer);
  // The next check starts over and succeeds once the client is complete.
  host->files[kClientPath] = ClientReporting<2, 5>();
  EXPECT_TRUE(server.TryIBLoad());
  EXPECT_EQ(host->log->loads.size(), 3u); // client (failed), client, ibxml.dll
}

TEST_F(TIBServerLibraryTest, AFailedReloadOfALoadedVariantLeavesItNotLoaded)
{
  server.CheckIBLoaded();
  host->files[kClientPath].Remove("BLOB_put");
  EXPECT_THROW(server.LoadIBLibrary(), EOSError);
  EXPECT_FALSE(server.Loaded());
  EXPECT_EQ(host->log->live, 0);
  EXPECT_EQ(ErrorOf([&] { server.isc_vax_integer("\x01", 1); }), kNotFoundServer);
}

TEST_F(TIBServerLibraryTest, ADirectLoadWhileLoadedRebindsAndReleasesTheEarlierLoad)
{
  server.CheckIBLoaded();
  host->files[kClientPath] = ClientReporting<8, 0>();
  server.LoadIBLibrary();
  EXPECT_EQ(server.GetIBClientVersion(), 80000);
  EXPECT_EQ(host->log->live, 2);
}

TEST_F(TIBServerLibraryTest, TheLastLoadDecidesTheXmlFetchSlots)
{
  host->files[u"C:\\Program Files\\Firebird\\bin\\ibtogo.dll"] = ClientReporting<8, 0>();
  server.CheckIBLoaded(); // binds the XML library
  host->files.erase(u"ibxml.dll");
  embedded.CheckIBLoaded(); // finds none: stubs
  const std::string v65 = "isc_dsql_xml_fetch  is an InterBase 6.5 function. Please upgrade to InterBase 6.5 to "
                          "use this functonality";
  auto fetch = [] { XmlFetchSlot<IBEntry::isc_dsql_xml_fetch>()(nullptr, nullptr, 3, nullptr, nullptr); };
  EXPECT_EQ(ErrorOf(fetch), v65);
  server.FreeIBLibrary(); // its XML library no longer backs the slots: they stay as they are
  EXPECT_EQ(ErrorOf(fetch), v65);

  host->files[u"ibxml.dll"] = XmlLibrary().Set("isc_dsql_xml_fetch", &RecordXmlFetch);
  server.CheckIBLoaded();
  embedded.FreeIBLibrary(); // not the owner of the slots now
  EXPECT_EQ(XmlFetchSlot<IBEntry::isc_dsql_xml_fetch>()(nullptr, nullptr, 3, nullptr, nullptr), 1);
  server.FreeIBLibrary();
  EXPECT_EQ(ErrorOf(fetch), kNotFoundXml);
}

TEST(XmlFetchSlot, RefusesAClientSlot)
{
  EXPECT_THROW(XmlFetchSlotAny(IBEntry::isc_attach_database), std::invalid_argument);
}

TEST(TIBServerLibraryDestruction, KeepsTheDllsLoaded)
{
  auto host = std::make_shared<FakeHost>();
  host->ServerFolder(u"C:\\Firebird\\bin");
  host->files[u"C:\\Firebird\\bin\\fbclient.dll"] = Client60();
  host->files[u"ibxml.dll"] = XmlLibrary();
  {
    TIBServerLibrary library(host);
    library.CheckIBLoaded();
  }
  EXPECT_EQ(host->log->live, 2);
  // Slots bound by that load must not outlive it in the process-wide table.
  TIBServerLibrary other(host);
  host->files.erase(u"ibxml.dll");
  other.CheckIBLoaded();
  other.FreeIBLibrary();
}

} // namespace
} // namespace fbu
