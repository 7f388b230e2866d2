// The test build's seams (TestSeams.h); empty in the shipped program's build.
#include "app/program/TestSeams.h"

#ifdef FBU_TEST_SEAMS

#include <windows.h>

#include <cwchar>
#include <string>

#include "base/WinHandles.h"

namespace fbu::seams {

namespace {

std::wstring Variable(const wchar_t* name)
{
  wchar_t buffer[256];
  const DWORD n = GetEnvironmentVariableW(name, buffer, 256);
  return n && n < 256 ? std::wstring(buffer, n) : std::wstring();
}

// The part after "<step>:" when the setting names this step, else nothing.
std::optional<std::wstring> ForStep(const std::wstring& setting, SaveStep step)
{
  constexpr const wchar_t* kNames[] = {L"create", L"protect", L"write", L"flush", L"flushed", L"replace", L"replaced"};
  const std::size_t colon = setting.find(L':');
  if (colon == std::wstring::npos || setting.compare(0, colon, kNames[static_cast<int>(step)]) != 0) return {};
  return setting.substr(colon + 1);
}

} // namespace

std::uint32_t AtSaveStep(SaveStep step)
{
  if (const auto event = ForStep(Variable(L"FBU_SEAM_SAVE_PAUSE"), step)) {
    const UniqueKernelHandle reached(OpenEventW(EVENT_MODIFY_STATE, FALSE, event->c_str()));
    if (reached) SetEvent(reached.get());
    for (;;) Sleep(INFINITE);
  }
  if (const auto code = ForStep(Variable(L"FBU_SEAM_SAVE_FAULT"), step))
    return static_cast<std::uint32_t>(std::wcstoul(code->c_str(), nullptr, 10));
  return 0;
}

std::optional<bool> DesktopVisibility()
{
  if (Variable(L"FBU_SEAM_DESKTOP") == L"invisible") return false;
  return std::nullopt;
}

std::uint32_t PathQueryFault()
{
  return static_cast<std::uint32_t>(std::wcstoul(Variable(L"FBU_SEAM_QUERY_FAULT").c_str(), nullptr, 10));
}

void AtIdentityCheck(const wchar_t* path)
{
  if (Variable(L"FBU_SEAM_SWAP_ORIGINAL") != L"1") return;
  const std::wstring copy = std::wstring(path) + L".swap";
  if (CopyFileW(path, copy.c_str(), FALSE)) MoveFileExW(copy.c_str(), path, MOVEFILE_REPLACE_EXISTING);
}

} // namespace fbu::seams

#endif
