// End to end: the real program's start-up. Up to its dialog it writes no file and no
// registry key, runs no thread besides its own and loads no client library, even with
// client libraries waiting where the loader would take them from. A build whose
// converter version is not a known one (FbConfigUtilityRefused, a test-only build of
// the same entry point) shows the refusal and ends with exit code 1 before any dialog
// or update.
#include <gtest/gtest.h>

#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "base/WinHandles.h"
#include "e2e/DemoInstallation.h"
#include "tools/ServiceQueries.h"

namespace fbu::test {
namespace {

constexpr DWORD kRunTimeoutMs = 60000;

std::string Utf8(const std::wstring& text)
{
  return ToUtf8(Text(text.begin(), text.end()));
}

using Stamp = std::tuple<std::uint64_t, std::uint64_t, DWORD>; // size or value count, write time, attributes

std::uint64_t Join(DWORD high, DWORD low)
{
  return (static_cast<std::uint64_t>(high) << 32) | low;
}

// Wine links the user's shell folders (Documents, Desktop...) to the Unix home folder,
// which is not the prefix's: of those only the first level is compared.
bool LinkedOutOfThePrefix(const std::wstring& path)
{
  const std::size_t cut = path.rfind(L'\\');
  const std::wstring name = path.substr(cut + 1);
  return path.starts_with(L"C:\\users\\") &&
         (name == L"Desktop" || name == L"Documents" || name == L"Downloads" || name == L"Music" ||
          name == L"Pictures" || name == L"Videos" || name == L"Templates");
}

void AddFiles(const std::wstring& folder, std::map<std::wstring, Stamp>& out, bool deep = true)
{
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
  if (!find) return;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    out[path] = {Join(data.nFileSizeHigh, data.nFileSizeLow),
                 Join(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime), data.dwFileAttributes};
    if (deep && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) AddFiles(path, out, !LinkedOutOfThePrefix(path));
  } while (FindNextFileW(find.get(), &data));
}

void AddKeys(HKEY key, const std::wstring& path, std::map<std::wstring, Stamp>& out)
{
  DWORD subkeys = 0, values = 0;
  FILETIME written{};
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                       &written) != ERROR_SUCCESS)
    return;
  out[path] = {values, Join(written.dwHighDateTime, written.dwLowDateTime), subkeys};
  for (DWORD i = 0; i < subkeys; ++i) {
    wchar_t name[256];
    DWORD length = 256;
    if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) continue;
    HKEY child = nullptr;
    if (RegOpenKeyExW(key, name, 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
    AddKeys(child, path + L"\\" + name, out);
    RegCloseKey(child);
  }
}

// Every file of drive C: and of the program's folder, and every key of the machine's
// and the user's registry, with what a write would change.
std::map<std::wstring, Stamp> Traces(const std::wstring& programFolder)
{
  std::map<std::wstring, Stamp> traces;
  AddFiles(L"C:", traces);
  AddFiles(programFolder, traces);
  AddKeys(HKEY_LOCAL_MACHINE, L"HKLM", traces);
  AddKeys(HKEY_CURRENT_USER, L"HKCU", traces);
  return traces;
}

// Wine's display driver records the display devices under ...\Control\Video when a
// process of the run first sets up the display: Wine's doing, whichever program it is.
std::vector<std::wstring> Differences(const std::map<std::wstring, Stamp>& a, const std::map<std::wstring, Stamp>& b)
{
  std::vector<std::wstring> changed;
  const auto note = [&](const std::wstring& path) {
    if (path.find(L"\\Control\\Video") == std::wstring::npos) changed.push_back(path);
  };
  for (const auto& [path, stamp] : a)
    if (const auto it = b.find(path); it == b.end() || it->second != stamp) note(path);
  for (const auto& [path, stamp] : b)
    if (!a.contains(path)) note(path);
  return changed;
}

template <class Entry, class First, class Next>
std::vector<Entry> Snapshot(DWORD what, DWORD pid, First first, Next next)
{
  std::vector<Entry> entries;
  UniqueFileHandle snapshot(CreateToolhelp32Snapshot(what, pid));
  Entry entry{};
  entry.dwSize = sizeof entry;
  for (bool more = snapshot && first(snapshot.get(), &entry); more; more = next(snapshot.get(), &entry))
    entries.push_back(entry);
  return entries;
}

TEST(Startup, LeavesNoTraceStartsNoThreadAndLoadsNoClientLibrary)
{
  DemoInstallation demo;
  Text serverFolder;
  ASSERT_TRUE(GetFirebirdServerFolder(serverFolder, u""));
  const std::wstring bin(serverFolder.begin(), serverFolder.end());
  const std::wstring fake = BuiltFile(L"FBU_BINARY_DIR") + L"\\tests\\dlls\\fake_client_v80.dll";
  // Where the loader would take them from; the installation's removal takes them away.
  ASSERT_TRUE(CopyFileW(fake.c_str(), (bin + L"\\fbclient.dll").c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(fake.c_str(), (bin + L"\\ibtogo.dll").c_str(), FALSE));
  std::wstring programFolder = BuiltFile(L"FBU_PROGRAM");
  programFolder.resize(programFolder.rfind(L'\\'));

  const auto before = Traces(programFolder);
  ProgramRun run(L"");
  const Dialog dialog = run.WaitForDialog(kRunTimeoutMs);
  ASSERT_NE(dialog.combo, nullptr) << "no main dialog";
  DWORD pid = 0;
  GetWindowThreadProcessId(dialog.window, &pid);

  const auto threads = Snapshot<THREADENTRY32>(TH32CS_SNAPTHREAD, 0, Thread32First, Thread32Next);
  EXPECT_EQ(std::count_if(threads.begin(), threads.end(), [&](const auto& t) { return t.th32OwnerProcessID == pid; }),
            1);
  const auto modules = Snapshot<MODULEENTRY32W>(TH32CS_SNAPMODULE, pid, Module32FirstW, Module32NextW);
  EXPECT_GT(modules.size(), 1u) << "the module list of the program could not be read";
  for (const auto& m : modules)
    for (const wchar_t* client : {L"fbclient.dll", L"ibtogo.dll", L"ibxml.dll"})
      EXPECT_NE(_wcsicmp(m.szModule, client), 0) << "loaded at start-up: " << Utf8(m.szExePath);

  PostMessageW(dialog.window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(run.WaitForExit(kRunTimeoutMs));
  EXPECT_EQ(run.ExitCode(), 0u);
  for (const auto& path : Differences(before, Traces(programFolder))) ADD_FAILURE() << "written: " << Utf8(path);
}

TEST(Startup, UnknownConverterVersionEndsTheProgramBeforeTheDialog)
{
  DemoInstallation demo;
  const auto files = demo.Snapshot();
  const std::size_t starts = demo.ServiceStarts().size();

  // The unattended mode: had start-up gone on, this would update every instance.
  ProgramRun run(L"75", L"FBU_PROGRAM_REFUSED");
  const Dialog box = run.WaitForDialog(kRunTimeoutMs);
  ASSERT_NE(box.window, nullptr) << "no error shown";
  EXPECT_EQ(box.combo, nullptr) << "the main dialog was created";
  EXPECT_EQ(Dialog::MessageBoxText(box.window), L"Not defined converter version: 1.510");
  PostMessageW(box.window, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(run.WaitForExit(kRunTimeoutMs));
  EXPECT_EQ(run.ExitCode(), 1u);
  EXPECT_EQ(demo.Snapshot(), files);
  EXPECT_EQ(demo.ServiceStarts().size(), starts);
}

} // namespace
} // namespace fbu::test
