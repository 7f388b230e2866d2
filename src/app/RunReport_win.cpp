// The check run and the caller's output channel.
#include "app/RunReport.h"

#include "app/IBSystemActions.h"
#include "app/SetDBCachePSize.h"
#include "app/UpdateOutcome.h"
#include "base/StringList.h"

namespace fbu {

CallerOutput::CallerOutput()
{
  for (const DWORD which : {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
    HANDLE handle = GetStdHandle(which);
    if (handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN) {
      handle_ = handle;
      break;
    }
  }
  // A program of the windows subsystem gets no standard handles from a console that
  // starts it; it writes to that console by attaching to it.
  if (!handle_ && AttachConsole(ATTACH_PARENT_PROCESS)) {
    consoleOutput_.reset(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
    handle_ = consoleOutput_.get();
  }
  DWORD mode = 0;
  console_ = handle_ && GetConsoleMode(handle_, &mode);
}

void CallerOutput::WriteLine(TextView text)
{
  if (!handle_) return;
  Text lines;
  for (const char16_t c : text) {
    if (c == u'\n' && !lines.ends_with(u'\r')) lines += u'\r';
    lines += c;
  }
  lines += u"\r\n";
  DWORD written = 0;
  if (console_) {
    WriteConsoleW(handle_, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
    return;
  }
  const std::string bytes = ToUtf8(lines);
  WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

PlannedFiles PlanConfigFiles(const Text& value)
{
  PlannedFiles planned;
  TStringList list;
  if (FindFirebirdConfigFiles(&list)) {
    for (int i = 0; i < list.Count(); ++i)
      if (ConfigFileExists(list[i])) planned.found.push_back(list[i]);
  }
  for (const Text& file : planned.found) {
    try {
      planned.plans.push_back(PlanConfigFile(file, kCachePagesKey, value));
    } catch (const std::exception& e) {
      const auto next = planned.found.begin() + static_cast<std::ptrdiff_t>(planned.plans.size()) + 1;
      throw EUpdateIncomplete(FileErrorMessage(ExceptionText(e), {}, std::vector<Text>(next, planned.found.end())),
                              kUpdateFailed);
    }
  }
  return planned;
}

int RunCheck(const std::vector<Text>& arguments, CallerOutput& output)
{
  try {
    const Text count = arguments.size() > 1 ? arguments[1] : Text();
    CheckCachePagesValue(count);
    CheckPageCountArgument(count);
    CheckCacheFitsMemory(count, PhysicalMemoryBytes());
    const PlannedFiles planned = PlanConfigFiles(count);
    for (std::size_t i = 0; i < planned.found.size(); ++i)
      output.WriteLine(CheckedFileLine(planned.found[i], planned.plans[i], count));
    const int code = CheckExitCode(planned.plans, count);
    output.WriteLine(code == kNothingFound ? NothingAppliesMessage(FirebirdFolders(), planned.found, planned.plans)
                                           : CheckSummary(planned.plans, count));
    return code;
  } catch (const EUpdateIncomplete& e) {
    output.WriteLine(e.Message());
    return e.ExitCode;
  } catch (const std::exception& e) {
    output.WriteLine(ExceptionText(e));
    return kUpdateFailed;
  }
}

} // namespace fbu
