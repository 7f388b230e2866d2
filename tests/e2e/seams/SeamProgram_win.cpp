// FbConfigUtility.exe as the end-to-end fault tests run it: the shipped program's code
// with the seams it never sets, chosen through environment variables:
//   FBU_SEAM_SAVE_FAULT=<step>:<code>  the save step create, write, flush or replace
//                                      fails with that system error code
//   FBU_SEAM_DESKTOP=invisible         the window station counts as invisible
#include <windows.h>

#include <cstdlib>
#include <string>

#include "app/IBSystemActions.h"
#include "app/SetDBCachePSize.h"

namespace {

std::wstring Variable(const wchar_t* name)
{
  wchar_t buffer[256];
  const DWORD n = GetEnvironmentVariableW(name, buffer, 256);
  return n && n < 256 ? std::wstring(buffer, n) : std::wstring();
}

void InstallSaveFault(const std::wstring& setting)
{
  const std::size_t colon = setting.find(L':');
  if (colon == std::wstring::npos) return;
  const std::wstring step = setting.substr(0, colon);
  const auto code = static_cast<std::uint32_t>(std::wcstoul(setting.c_str() + colon + 1, nullptr, 10));
  const fbu::SaveStep steps[] = {fbu::SaveStep::CreateTemporary, fbu::SaveStep::Write, fbu::SaveStep::Flush,
                                 fbu::SaveStep::Replace};
  const wchar_t* names[] = {L"create", L"write", L"flush", L"replace"};
  for (int i = 0; i < 4; ++i) {
    if (step != names[i]) continue;
    const fbu::SaveStep failing = steps[i];
    fbu::SetSaveFault([failing, code](fbu::SaveStep s) { return s == failing ? code : 0u; });
  }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
  InstallSaveFault(Variable(L"FBU_SEAM_SAVE_FAULT"));
  if (Variable(L"FBU_SEAM_DESKTOP") == L"invisible") fbu::SetDesktopVisibilityCheck([] { return false; });
  return fbu::RunProgram(instance, showCommand);
}
