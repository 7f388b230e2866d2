// Binding a client library that no one here wrote: Debian's libfbclient (the Firebird
// 3.0 client), through the same loader and the native module layer.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "dbclient/IBIntf.h"

namespace fbu {
namespace {

const std::filesystem::path kDebianClient = "/usr/lib/x86_64-linux-gnu/libfbclient.so.2";

// The system's own module layer, with a server folder that holds a link named
// "fbclient.dll" to the real client. There is no service manager here to ask, and the
// ELF file is no PE image, so those two answers are given by the test.
class ServerFolderHost : public SystemModuleHost {
public:
  explicit ServerFolderHost(std::filesystem::path folder) : folder_(std::move(folder)) {}
  bool FindServerFolder(Text& folder) override
  {
    folder = FromUtf8(folder_.string());
    return true;
  }
  bool IsX64Image(const Text&) override { return false; }

private:
  std::filesystem::path folder_;
};

class RealClient : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(std::filesystem::exists(kDebianClient)) << "run scripts/bootstrap (package libfbclient2)";
    folder_ = std::filesystem::temp_directory_path() / ("fbu-realclient-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    std::filesystem::create_symlink(kDebianClient, folder_ / "fbclient.dll");
    library_ = std::make_unique<TIBServerLibrary>(std::make_shared<ServerFolderHost>(folder_));
  }
  void TearDown() override
  {
    if (library_) library_->FreeIBLibrary();
    std::filesystem::remove_all(folder_);
  }

  std::filesystem::path folder_;
  std::unique_ptr<TIBServerLibrary> library_;
};

// The client's own version text, "LI-V6.3.11.33637 Firebird 3.0": the Firebird 3.0
// client reports itself to InterBase-era callers as version 6.3.
struct VersionText {
  int major = -1;
  int minor = -1;
  std::string text;
};
VersionText ReadVersionText(TIBServerLibrary& library)
{
  char buffer[256] = {};
  library.isc_get_client_version(buffer);
  VersionText v;
  v.text = buffer;
  std::sscanf(buffer, "%*2s-V%d.%d", &v.major, &v.minor);
  return v;
}

TEST_F(RealClient, BindsEveryRequiredEntryPointAndReadsTheClientVersion)
{
  // Every required entry point must bind, or the check raises.
  library_->CheckIBLoaded();
  const VersionText v = ReadVersionText(*library_);
  EXPECT_NE(v.text.find("Firebird 3.0"), std::string::npos) << v.text;
  ASSERT_GE(v.major, 0) << v.text;
  EXPECT_EQ(library_->isc_get_client_major_version(), v.major);
  EXPECT_EQ(library_->isc_get_client_minor_version(), v.minor);
  EXPECT_EQ(library_->GetIBClientVersion(), IBClientVersion(v.major, v.minor));
  EXPECT_LT(library_->GetIBClientVersion(), kIBVersion70); // so the InterBase 7 and later entry points are stubs
}

TEST_F(RealClient, ForwardingReachesTheRealEntryPoints)
{
  library_->CheckIBLoaded();
  // The client's portable little-endian integer decoding.
  EXPECT_EQ(library_->isc_vax_integer("\x01\x02\x03\x04", 4), 0x04030201);
  EXPECT_EQ(library_->isc_vax_integer("\xff\xff", 2), -1);
  // An empty status vector means success: SQL code 0.
  ISC_STATUS status[20] = {1, 0, 0};
  EXPECT_EQ(library_->isc_sqlcode(status), 0);
  ISC_DATE date = 0;
  const struct tm moment = [] {
    struct tm t {};
    t.tm_year = 2000 - 1900;
    t.tm_mon = 0;
    t.tm_mday = 2;
    return t;
  }();
  library_->isc_encode_sql_date(&moment, &date);
  struct tm back {};
  library_->isc_decode_sql_date(&date, &back);
  EXPECT_EQ(back.tm_year, 100);
  EXPECT_EQ(back.tm_mday, 2);
}

TEST_F(RealClient, InterBaseOnlyEntryPointsAreStubs)
{
  library_->CheckIBLoaded();
  auto message = [](const std::function<void()>& call) {
    try {
      call();
    } catch (const EIBClientError& e) {
      return std::string(e.what());
    }
    return std::string("(nothing raised)");
  };
  EXPECT_EQ(message([&] { library_->isc_array_gen_sdl2(nullptr, nullptr, nullptr, nullptr, nullptr); }),
            "isc_array_gen_sdl2  is an InterBase 7.0 function. Please upgrade to InterBase 7.0 to use this "
            "functonality");
  EXPECT_EQ(message([&] { library_->isc_rollback_savepoint(nullptr, nullptr, nullptr, 0); }),
            "isc_rollback_savepoint  is an InterBase 7.1 function. Please upgrade to InterBase 7.1 to use this "
            "functonality");
  EXPECT_EQ(message([&] { library_->isc_dsql_batch_execute_immed(nullptr, nullptr, nullptr, 3, 0, nullptr, nullptr); }),
            "isc_dsql_batch_execute_immed is an InterBase 2007 function. Please upgrade to InterBase 2007 to use "
            "this functonality");
  // Firebird ships no "ibxml.dll": the XML fetch slots hold the 6.5 stubs.
  EXPECT_EQ(message([] { XmlFetchSlot<IBEntry::isc_dsql_xml_fetch>()(nullptr, nullptr, 3, nullptr, nullptr); }),
            "isc_dsql_xml_fetch  is an InterBase 6.5 function. Please upgrade to InterBase 6.5 to use this "
            "functonality");
}

TEST_F(RealClient, FreeAndLoadAgain)
{
  library_->CheckIBLoaded();
  const std::int64_t version = library_->GetIBClientVersion();
  library_->FreeIBLibrary();
  EXPECT_THROW(library_->isc_get_client_major_version(), EIBClientError);
  EXPECT_EQ(library_->GetIBClientVersion(), version);
  EXPECT_EQ(library_->isc_get_client_major_version(), ReadVersionText(*library_).major);
}

} // namespace
} // namespace fbu

#endif
