// The program around the dialog: the units' start-up, the registration switches, the
// dialog and its message loop, then the units' shutdown.
#include <windows.h>

#include <commctrl.h>

#include <vector>

#include "app/program/ProgramUnits.h"
#include "app/update/CheckRun.h"
#include "app/dialog/SetDBCachePSize.h"
#include "app/program/CommandLine.h"
#include "app/program/Program.h"
#include "base/Exceptions.h"
#include "base/Startup.h"

namespace fbu {

int RunProgram(HINSTANCE instance, int showCommand, float converterVersion)
{
  std::vector<Text> arguments = SplitCommandLine(FromWide(GetCommandLineW()));
  if (!arguments.empty()) arguments.erase(arguments.begin()); // the program's own name
  StartupSequence units;
  RegisterProgramUnits(units, converterVersion);
  return RunUnits(
      units,
      [&]() -> int {
        // Registration is offered to the toolkit's callers but this program registers
        // nothing: the switches just end it before the dialog exists.
        if (HasRegistrationSwitch(arguments)) return 0;
        if (!arguments.empty() && IsCheckSwitch(arguments.front())) {
          CallerOutput output;
          return RunCheck(arguments, output);
        }
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        TDBConfigForm DBConfigForm(arguments);
        DBConfigForm.Create(instance);
        DBConfigForm.Show(showCommand);
        RunMessageLoop(DBConfigForm);
        // The form keeps the outcome past its window's end.
        return DBConfigForm.ExitCode();
      },
      [&](const std::exception& error) {
        // An unattended run tells its caller; where nobody could answer a box, or for a
        // check, that is all.
        const bool check = !arguments.empty() && IsCheckSwitch(arguments.front());
        if (!arguments.empty()) CallerOutput().WriteLine(ExceptionText(error));
        if (arguments.empty() || (!check && DesktopIsVisible())) ShowErrorReport(nullptr, error);
      });
}

} // namespace fbu
