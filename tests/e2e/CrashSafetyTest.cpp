// The save is safe against a crash: the program, stopped at each step of its save (through
// the test build's pause seam) and killed there, leaves the file whole: the old content
// up to the replace, the new one after it, never missing or cut short. At worst a
// temporary file stays beside it.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "e2e/DemoInstallation.h"

namespace fbu::test {
namespace {

std::vector<std::wstring> OtherFiles(const std::wstring& folder)
{
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(FindFirstFileW((folder + L"\\*.*").c_str(), &data));
  if (!find) return names;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L".." && name != L"firebird.conf") names.push_back(name);
  } while (FindNextFileW(find.get(), &data));
  return names;
}

TEST(CrashSafety, KilledAtEachStepOfTheSaveLeavesTheWholeOldOrNewFile)
{
  // Its own Program Files tree, without a service: only the save is under test.
  ScopedTempDir root(L"fbu-crash");
  const std::wstring instance = root / L"Firebird";
  CreateDirectoryW(instance.c_str(), nullptr);
  const std::wstring folder = instance + L"\\Firebird_5_0";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring config = folder + L"\\firebird.conf";
  ScopedEnv programFiles(L"ProgramFiles(86)", root.Path().c_str());
  ScopedEnv noSecondView(L"ProgramW6432", root.Path().c_str());

  std::string padding;
  while (padding.size() < (1u << 20)) padding += "# a long explanation of some setting, as the shipped file has\r\n";
  const std::string oldContent = padding + "DefaultDbCachePages = 2048\r\n";
  const std::string newContent = padding + "DefaultDbCachePages = 1024\r\n";

  // Every step of the save, in order, and whether the file is replaced by then.
  const struct {
    const wchar_t* step;
    bool replaced;
  } steps[] = {{L"create", false},  {L"protect", false}, {L"write", false},  {L"flush", false},
               {L"flushed", false}, {L"replace", false}, {L"replaced", true}};
  for (const auto& [step, replaced] : steps) {
    SCOPED_TRACE(std::string("killed at ") + std::string(step, step + wcslen(step)));
    WriteFileBytes(config, oldContent);
    for (const auto& name : OtherFiles(folder)) DeleteFileW((folder + L"\\" + name).c_str());
    // The program sets the event when it reaches the step, then waits to be killed.
    const std::wstring event = L"fbu-crash-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" + step;
    const UniqueKernelHandle reached(CreateEventW(nullptr, TRUE, FALSE, event.c_str()));
    ASSERT_TRUE(reached);
    const ScopedEnv pause(L"FBU_SEAM_SAVE_PAUSE", (std::wstring(step) + L":" + event).c_str());
    ProgramRun run(L"1024", L"FBU_SEAM_PROGRAM");
    const HANDLE waits[] = {reached.get(), run.Handle()};
    ASSERT_EQ(WaitForMultipleObjects(2, waits, FALSE, ScaledMs(60000)), WAIT_OBJECT_0)
        << "the save never reached the step";
    run.Kill();

    const std::string now = ReadFileBytes(config);
    const char* holds = now == oldContent ? "the old content" : now == newContent ? "the new content" : "neither";
    EXPECT_TRUE(now == (replaced ? newContent : oldContent))
        << "firebird.conf holds " << holds << ", " << now.size() << " bytes";
    EXPECT_LE(OtherFiles(folder).size(), replaced ? 0u : 1u) << "more than the temporary file stayed";
  }
}

} // namespace
} // namespace fbu::test
