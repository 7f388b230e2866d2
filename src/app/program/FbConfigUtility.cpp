// Program entry of FbConfigUtility.exe: the units' start-up, the registration
// switches, the dialog and its message loop, then the units' shutdown.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <memory>
#include <vector>

#include "app/ProgramUnits.h"
#include "app/SetDBCachePSize.h"
#include "base/Startup.h"
#include "base/Text.h"

namespace {

struct LocalFreeDeleter {
  void operator()(LPWSTR* p) const noexcept { LocalFree(p); }
};

// The arguments after the program name, split as CommandLineToArgvW splits them
// (blanks and tabs separate, a double-quoted stretch keeps its blanks and loses the
// quotes).
std::vector<fbu::Text> CommandLineArguments()
{
  int count = 0;
  std::unique_ptr<LPWSTR, LocalFreeDeleter> argv(CommandLineToArgvW(GetCommandLineW(), &count));
  std::vector<fbu::Text> arguments;
  for (int i = 1; argv && i < count; ++i) arguments.push_back(fbu::FromWide(argv.get()[i]));
  return arguments;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
  const std::vector<fbu::Text> arguments = CommandLineArguments();
  fbu::StartupSequence units;
#ifdef FBU_TEST_CONVERTER_VERSION
  // Only the test build that checks a refused start-up defines this.
  fbu::RegisterProgramUnits(units, FBU_TEST_CONVERTER_VERSION);
#else
  fbu::RegisterProgramUnits(units);
#endif
  return fbu::RunUnits(
      units,
      [&]() -> int {
        // Registration is offered to the toolkit's callers but this program registers
        // nothing: the switches just end it before the dialog exists.
        if (fbu::HasRegistrationSwitch(arguments)) return 0;
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        fbu::TDBConfigForm DBConfigForm(arguments);
        DBConfigForm.Create(instance);
        DBConfigForm.Show(showCommand);
        return fbu::RunMessageLoop(DBConfigForm);
      },
      [](const std::exception& error) { fbu::ShowErrorReport(nullptr, error); });
}
