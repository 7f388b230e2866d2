// The client-library loader against the real Windows API under Wine: real services
// made through the service manager, real folders and real DLLs built from our own
// sources (tests/dlls). The client DLLs are of the test process's own architecture; two
// tiny DLLs, one 32-bit and one 64-bit, are built in every build. In the 64-bit build a
// server folder holding "\bin\" sends every client DLL to "\Wow64\", so most tests use
// a server folder without it, and the DLL put in a "Wow64" folder is a 64-bit one too.
// In the shipped 32-bit build an x64 client in "\bin\" is the tiny 64-bit DLL, and the
// one in "Wow64" is the 32-bit counterpart the program then loads. Each "Wow64" DLL
// reports another version than the one in "bin" so that the test can tell which was
// loaded.

#include <gtest/gtest.h>

#include <windows.h>

#include "base/WinHandles.h"
#include "dbclient/IBIntf.h"
#include "dbclient/PEImage.h"
#include "support/WinTestSupport.h"
#include "support/ErrorText.h"

namespace fbu {
namespace {

using test::ScopedService;
using test::ScopedTempDir;

constexpr bool kX64Process = sizeof(void*) == 8;
// A 64-bit client DLL: a full one where this process can load it, the tiny one otherwise.
const wchar_t* const kX64Client = kX64Process ? L"fake_client_v80" : L"fake_client64";
// A DLL this process cannot load.
const wchar_t* const kOtherArchitectureDll = kX64Process ? L"fake_client32" : L"fake_client64";

const char* const kNotFound =
    "InterBase library fbclient.dll not found in the path. Please install InterBase to use this functionality";

std::wstring BuiltDll(const std::wstring& name)
{
  return test::ProgramFolder() + L"\\dlls\\" + name + L".dll";
}

Text T(const std::wstring& path)
{
  return FromWide(path.c_str(), path.size());
}

// Creates a folder and every missing folder above it.
void MakeFolders(const std::wstring& folder)
{
  for (std::size_t at = folder.find(L'\\', 3); at != std::wstring::npos; at = folder.find(L'\\', at + 1))
    CreateDirectoryW(folder.substr(0, at).c_str(), nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
}

void CopyDll(const std::wstring& name, const std::wstring& target)
{
  MakeFolders(target.substr(0, target.find_last_of(L'\\')));
  ASSERT_TRUE(CopyFileW(BuiltDll(name).c_str(), target.c_str(), FALSE))
      << "copy of " << std::string(name.begin(), name.end()) << " failed: " << GetLastError();
}

bool IsLoadedFrom(const std::wstring& path)
{
  return GetModuleHandleW(path.c_str()) != nullptr;
}

// Makes "ibxml.dll" findable through the system's ordinary search for the test's lifetime.
class ScopedDllDirectory {
public:
  explicit ScopedDllDirectory(const std::wstring& folder) { SetDllDirectoryW(folder.c_str()); }
  ~ScopedDllDirectory() { SetDllDirectoryW(nullptr); }
  ScopedDllDirectory(const ScopedDllDirectory&) = delete;
  ScopedDllDirectory& operator=(const ScopedDllDirectory&) = delete;
};

// A server installation: a service whose executable lies in the server folder.
class ClientLibraryWin : public ::testing::Test {
protected:
  ~ClientLibraryWin() override
  {
    // A library object keeps its DLL loaded when destroyed: release before the
    // folder holding the DLL goes.
    server.FreeIBLibrary();
    embedded.FreeIBLibrary();
  }

  std::wstring Server(const std::wstring& file = L"") const { return root / (L"Firebird\\server\\" + file); }
  std::wstring Bin(const std::wstring& file = L"") const { return root / (L"Firebird\\bin\\" + file); }
  std::wstring Wow64(const std::wstring& file = L"") const { return root / (L"Firebird\\Wow64\\" + file); }

  std::unique_ptr<ScopedService> InstallServer(const std::wstring& name = L"FbuTestFirebirdServerX",
                                               const std::wstring& folder = L"")
  {
    std::wstring exe = folder.empty() ? Server() : folder;
    if (exe.back() != L'\\') exe += L'\\';
    exe += L"fbserver.exe";
    return std::make_unique<ScopedService>(name, L"\"" + exe + L"\" -s");
  }

  static std::string ErrorOf(const std::function<void()>& action, int* sqlCode = nullptr)
  {
    return test::ClientErrorOf(action, sqlCode);
  }

  ScopedTempDir root{L"fbu-client"};
  TIBServerLibrary server;
  TIBEmbeddedLibrary embedded;
};

TEST_F(ClientLibraryWin, LoadsTheClientBesideTheServerOnTheFirstCheck)
{
  CopyDll(L"fake_client_v25", Server(L"fbclient.dll"));
  const auto service = InstallServer();
  EXPECT_FALSE(IsLoadedFrom(Server(L"fbclient.dll")));
  EXPECT_EQ(server.GetIBClientVersion(), 25000);
  EXPECT_TRUE(IsLoadedFrom(Server(L"fbclient.dll")));
  EXPECT_EQ(server.isc_get_client_major_version(), 2);
  EXPECT_EQ(server.isc_vax_integer("\x01\x02", 2), 0x0201);
  char text[64] = {};
  server.isc_get_client_version(text);
  EXPECT_STREQ(text, "WI-V2.5 fake client");
  EXPECT_EQ(ErrorOf([&] { server.isc_start_savepoint(nullptr, nullptr, nullptr); }),
            "isc_start_savepoint  is an InterBase 7.1 function. Please upgrade to InterBase 7.1 to use this "
            "functonality");
}

TEST_F(ClientLibraryWin, FreeReleasesTheDllAndTheNextCheckLoadsItAgain)
{
  CopyDll(L"fake_client_v80", Server(L"fbclient.dll"));
  const auto service = InstallServer();
  server.CheckIBLoaded();
  server.FreeIBLibrary();
  EXPECT_FALSE(IsLoadedFrom(Server(L"fbclient.dll")));
  EXPECT_EQ(ErrorOf([&] { server.isc_get_client_major_version(); }), kNotFound);
  EXPECT_TRUE(server.TryIBLoad());
  EXPECT_TRUE(IsLoadedFrom(Server(L"fbclient.dll")));
  EXPECT_EQ(server.isc_get_client_major_version(), 8);
}

TEST_F(ClientLibraryWin, AnX64ClientInBinLoadsTheOneInWow64)
{
  CopyDll(kX64Client, Bin(L"fbclient.dll"));
  CopyDll(L"fake_client_v71", Wow64(L"fbclient.dll"));
  const auto service = InstallServer(L"FbuTestFirebirdServerX", Bin());
  ASSERT_TRUE(IsX64Image(T(Bin(L"fbclient.dll"))));
  EXPECT_EQ(server.GetIBClientVersion(), 71000);
  EXPECT_TRUE(IsLoadedFrom(Wow64(L"fbclient.dll")));
  EXPECT_FALSE(IsLoadedFrom(Bin(L"fbclient.dll")));
}

TEST_F(ClientLibraryWin, AnX64ClientWithoutItsWow64CounterpartIsNotLoaded)
{
  CopyDll(kX64Client, Bin(L"fbclient.dll"));
  const auto service = InstallServer(L"FbuTestFirebirdServerX", Bin());
  EXPECT_FALSE(server.TryIBLoad());
  EXPECT_FALSE(IsLoadedFrom(Bin(L"fbclient.dll")));
}

TEST_F(ClientLibraryWin, OnlyALowerCaseBinFolderIsRewritten)
{
  const std::wstring upper = root / L"Firebird\\BIN\\fbclient.dll";
  CopyDll(kX64Client, upper);
  CopyDll(L"fake_client_v71", root / L"Firebird\\Wow64\\fbclient.dll");
  const auto service = InstallServer(L"FbuTestFirebirdServerX", root / L"Firebird\\BIN");
  if (kX64Process) {
    EXPECT_EQ(server.GetIBClientVersion(), 80000);
    EXPECT_TRUE(IsLoadedFrom(upper));
  } else {
    // The path stays on the 64-bit DLL, which a 32-bit process cannot load.
    EXPECT_FALSE(server.TryIBLoad());
    EXPECT_FALSE(IsLoadedFrom(root / L"Firebird\\Wow64\\fbclient.dll"));
  }
}

TEST_F(ClientLibraryWin, AClientOfTheOtherArchitectureCannotLoadIntoThisProcess)
{
  // Classified by its machine type; with no "\bin\" in the server folder the path stays,
  // and this process cannot load it.
  CopyDll(kOtherArchitectureDll, Server(L"fbclient.dll"));
  const auto service = InstallServer();
  EXPECT_EQ(IsX64Image(T(Server(L"fbclient.dll"))), !kX64Process);
  int code = 0;
  EXPECT_EQ(ErrorOf([&] { server.CheckIBLoaded(); }, &code), kNotFound);
  EXPECT_EQ(code, 1);
}

TEST_F(ClientLibraryWin, TheEmbeddedVariantUsesItsOwnDllInTheServerFolder)
{
  CopyDll(L"fake_client_v71", Server(L"ibtogo.dll"));
  CopyDll(L"fake_client_v80", Server(L"fbclient.dll"));
  const auto service = InstallServer();
  EXPECT_EQ(embedded.GetIBClientVersion(), 71000);
  EXPECT_TRUE(IsLoadedFrom(Server(L"ibtogo.dll")));
  EXPECT_FALSE(IsLoadedFrom(Server(L"fbclient.dll")));
}

TEST_F(ClientLibraryWin, NoServerMeansNoClientEvenBesideTheProgram)
{
  const std::wstring besideProgram = test::ProgramFolder() + L"\\fbclient.dll";
  CopyDll(L"fake_client_v80", besideProgram);
  struct Remove {
    std::wstring path;
    ~Remove() { DeleteFileW(path.c_str()); }
  } removeLater{besideProgram};
  CopyDll(L"fake_client_v80", Server(L"fbclient.dll"));

  EXPECT_FALSE(server.TryIBLoad());
  EXPECT_EQ(GetModuleHandleW(L"fbclient.dll"), nullptr);
  int code = 0;
  EXPECT_EQ(ErrorOf([&] { server.CheckIBLoaded(); }, &code), kNotFound);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(ErrorOf([&] { embedded.GetIBClientVersion(); }),
            "InterBase library ibtogo.dll not found in the path. Please install InterBase to use this functionality");

  // Installing the server afterwards is enough: the next check loads.
  const auto service = InstallServer();
  EXPECT_EQ(server.GetIBClientVersion(), 80000);
  EXPECT_TRUE(IsLoadedFrom(Server(L"fbclient.dll")));
}

TEST_F(ClientLibraryWin, TwoServerFoldersMeanNoClient)
{
  CopyDll(L"fake_client_v80", Server(L"fbclient.dll"));
  CopyDll(L"fake_client_v80", root / L"Other\\bin\\fbclient.dll");
  const auto first = InstallServer();
  const auto second = InstallServer(L"FbuTestFirebirdServerY", root / L"Other\\bin");
  EXPECT_FALSE(server.TryIBLoad());
  EXPECT_EQ(GetModuleHandleW(L"fbclient.dll"), nullptr);
}

TEST_F(ClientLibraryWin, TwoServicesInOneFolderAreOneServer)
{
  CopyDll(L"fake_client_v60", Server(L"fbclient.dll"));
  const auto first = InstallServer();
  const auto second = InstallServer(L"FbuTestFirebirdServerGuardian");
  EXPECT_EQ(server.GetIBClientVersion(), 60000);
  EXPECT_EQ(ErrorOf([&] { server.isc_get_client_version(nullptr); }),
            "isc_get_client_version  is an InterBase 7.0 function. Please upgrade to InterBase 7.0 to use this "
            "functonality");
}

TEST_F(ClientLibraryWin, AVersion5ClientGetsTheVersion6Stubs)
{
  CopyDll(L"fake_client_v50", Server(L"fbclient.dll"));
  const auto service = InstallServer();
  EXPECT_EQ(server.GetIBClientVersion(), 50000);
  int code = 0;
  EXPECT_EQ(ErrorOf([&] { server.isc_service_attach(nullptr, 0, nullptr, nullptr, 0, nullptr); }, &code),
            "isc_service_attach is an InterBase 6 function. Please upgrade to InterBase 6 to use this functonality");
  EXPECT_EQ(code, 3);
}

TEST_F(ClientLibraryWin, AMissingRequiredEntryPointRaisesTheSystemErrorAndReleasesTheDll)
{
  CopyDll(L"fake_client_lacking", Server(L"fbclient.dll"));
  const auto service = InstallServer();
  try {
    server.CheckIBLoaded();
    ADD_FAILURE() << "no error";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode, static_cast<std::uint32_t>(ERROR_PROC_NOT_FOUND));
    const Text systemText = SysErrorMessage(ERROR_PROC_NOT_FOUND);
    EXPECT_FALSE(systemText.empty());
    EXPECT_EQ(e.Message(), u"System Error.  Code: 127.\r\n" + systemText);
  }
  EXPECT_FALSE(IsLoadedFrom(Server(L"fbclient.dll")));
  EXPECT_EQ(ErrorOf([&] { server.isc_attach_database(nullptr, 0, nullptr, nullptr, 0, nullptr); }), kNotFound);

  // The next check starts again from the beginning.
  CopyDll(L"fake_client_v71", Server(L"fbclient.dll"));
  EXPECT_EQ(server.GetIBClientVersion(), 71000);
}

TEST_F(ClientLibraryWin, TheXmlLibraryFromTheOrdinarySearch)
{
  CopyDll(L"fake_client_v80", Server(L"fbclient.dll"));
  CopyDll(L"fake_ibxml_full", root / L"search\\ibxml.dll");
  const auto service = InstallServer();
  ScopedDllDirectory search(root / L"search");
  server.CheckIBLoaded();
  EXPECT_TRUE(IsLoadedFrom(root / L"search\\ibxml.dll"));
  EXPECT_EQ(XmlFetchSlot<IBEntry::isc_dsql_xml_fetch>()(nullptr, nullptr, 3, nullptr, nullptr), 6503);

  server.FreeIBLibrary();
  EXPECT_EQ(GetModuleHandleW(L"ibxml.dll"), nullptr);
  EXPECT_EQ(ErrorOf([] { XmlFetchSlot<IBEntry::isc_dsql_xml_fetch>()(nullptr, nullptr, 3, nullptr, nullptr); }),
            "InterBase library ibxml.dll not found in the path. Please install InterBase to use this functionality");
}

TEST_F(ClientLibraryWin, WithoutTheXmlLibraryTheClientLoadsWithXmlStubs)
{
  CopyDll(L"fake_client_v80", Server(L"fbclient.dll"));
  const auto service = InstallServer();
  ASSERT_EQ(GetModuleHandleW(L"ibxml.dll"), nullptr);
  EXPECT_TRUE(server.TryIBLoad());
  EXPECT_EQ(ErrorOf([] { XmlFetchSlot<IBEntry::isc_dsql_xml_fetch_all>()(nullptr, nullptr, 3, nullptr, nullptr); }),
            "isc_dsql_xml_fetch_all  is an InterBase 6.5 function. Please upgrade to InterBase 6.5 to use this "
            "functonality");
}

TEST_F(ClientLibraryWin, AnXmlLibraryWithoutItsEntryPointsFailsTheLoad)
{
  CopyDll(L"fake_client_v80", Server(L"fbclient.dll"));
  CopyDll(L"fake_ibxml_empty", root / L"search\\ibxml.dll");
  const auto service = InstallServer();
  ScopedDllDirectory search(root / L"search");
  try {
    server.CheckIBLoaded();
    ADD_FAILURE() << "no error";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode, static_cast<std::uint32_t>(ERROR_PROC_NOT_FOUND));
  }
  EXPECT_FALSE(server.Loaded());
  EXPECT_FALSE(IsLoadedFrom(Server(L"fbclient.dll")));
  EXPECT_EQ(GetModuleHandleW(L"ibxml.dll"), nullptr);
}

TEST_F(ClientLibraryWin, AFileThatIsNoImageRaisesUnknownTarget)
{
  MakeFolders(Server());
  test::WriteFileBytes(Server(L"fbclient.dll"), "this is not a library");
  const auto service = InstallServer();
  EXPECT_EQ(ErrorOf([&] { server.CheckIBLoaded(); }), "other: Unknown PE target");
  EXPECT_FALSE(server.Loaded());
}

TEST_F(ClientLibraryWin, AnImageThatCannotBeOpenedRaisesTheSystemError)
{
  CopyDll(L"fake_client_v80", Server(L"fbclient.dll"));
  const auto service = InstallServer();
  UniqueFileHandle exclusive(
      CreateFileW(Server(L"fbclient.dll").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(exclusive);
  try {
    server.CheckIBLoaded();
    ADD_FAILURE() << "no error";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode, static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(e.Message(), u"System Error.  Code: 32.\r\n" + SysErrorMessage(ERROR_SHARING_VIOLATION));
  }
  EXPECT_FALSE(server.Loaded());
  exclusive.reset();
  EXPECT_TRUE(server.TryIBLoad());
}

TEST_F(ClientLibraryWin, AFolderNamedLikeTheDllIsNoClient)
{
  MakeFolders(Server(L"fbclient.dll"));
  const auto service = InstallServer();
  EXPECT_FALSE(server.TryIBLoad());
}

} // namespace
} // namespace fbu
