// The check run and the caller's output channel.
#include "app/RunReport.h"

#include <algorithm>
#include <cstring>

#include "app/IBSystemActions.h"
#include "app/SetDBCachePSize.h"
#include "app/UpdateOutcome.h"
#include "base/StringList.h"

namespace fbu {

namespace {

// The code page the caller's tools decode a program's output with: that of the console
// the caller runs in (PowerShell and Ansible's win_command read it so), else the OEM one.
UINT CallerCodePage()
{
  if (const UINT attached = GetConsoleOutputCP()) return attached;
  UINT page = 0;
  // A program of the windows subsystem has no console of its own: it asks its parent's.
  if (AttachConsole(ATTACH_PARENT_PROCESS)) {
    page = GetConsoleOutputCP();
    FreeConsole();
  }
  return page ? page : GetOEMCP();
}

// text in code page; characters the page lacks become '?'.
std::string Encode(TextView text, UINT page)
{
  if (text.empty()) return {};
  if (page == CP_UTF8) return ToUtf8(text);
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int size = static_cast<int>(text.size());
  DWORD flags = WC_NO_BEST_FIT_CHARS;
  const char* fallback = "?";
  int length = WideCharToMultiByte(page, flags, wide, size, nullptr, 0, fallback, nullptr);
  if (length == 0 && GetLastError() == ERROR_INVALID_PARAMETER) {
    // Some pages (UTF-7, the ISO-2022 ones) take neither flags nor a default character.
    flags = 0;
    fallback = nullptr;
    length = WideCharToMultiByte(page, flags, wide, size, nullptr, 0, fallback, nullptr);
  }
  if (length <= 0) return ToUtf8(text);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(page, flags, wide, size, bytes.data(), length, fallback, nullptr);
  return bytes;
}

// "FbConfigUtility 1.0.0.0", the file version from the module's version resource; the
// name alone when it has none (a test build).
Text ProgramVersionLine()
{
  Text line = u"FbConfigUtility";
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16)); // RT_VERSION
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const auto* data = static_cast<const unsigned char*>(loaded ? LockResource(loaded) : nullptr);
  const DWORD size = found ? SizeofResource(module, found) : 0;
  // VS_FIXEDFILEINFO starts with its signature, on a 32-bit boundary.
  for (DWORD at = 0; data && at + sizeof(VS_FIXEDFILEINFO) <= size; at += 4) {
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, data + at, sizeof info);
    if (info.dwSignature != 0xFEEF04BD) continue;
    return line + u" " + IntToText(HIWORD(info.dwFileVersionMS)) + u"." + IntToText(LOWORD(info.dwFileVersionMS)) +
           u"." + IntToText(HIWORD(info.dwFileVersionLS)) + u"." + IntToText(LOWORD(info.dwFileVersionLS));
  }
  return line;
}

} // namespace

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
  // starts it; it writes to that console by attaching to it. Without its output there is
  // no console to write to.
  if (!handle_ && AttachConsole(ATTACH_PARENT_PROCESS)) {
    consoleOutput_.reset(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
    if (consoleOutput_) handle_ = consoleOutput_.get();
  }
  DWORD mode = 0;
  console_ = handle_ && GetConsoleMode(handle_, &mode);
  if (handle_ && !console_) codePage_ = CallerCodePage();
}

void CallerOutput::WriteLine(TextView text)
{
  if (!handle_) return;
  Text lines;
  // The first line says which build ran, for the deployment tool's log.
  if (!versionWritten_) {
    versionWritten_ = true;
    lines = ProgramVersionLine() + u"\r\n";
  }
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
  const std::string bytes = Encode(lines, codePage_);
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

namespace {

bool InAny(const std::vector<Text>& roots, const Text& root)
{
  return !root.empty() && std::any_of(roots.begin(), roots.end(), [&](const Text& r) { return SameFolder(r, root); });
}

bool IsDefaultInstance(const FirebirdService& service)
{
  return UpperAsciiOnly(service.name) == UpperAsciiOnly(kFirebirdServiceName);
}

} // namespace

RestartPlan PlanRestarts(const PlannedFiles& planned, bool check)
{
  RestartPlan plan;
  std::vector<Text> saved, reached; // roots of files saved, and of those the server then reads
  for (std::size_t i = 0; i < planned.found.size() && i < planned.plans.size(); ++i) {
    if (planned.plans[i].rewrites) saved.push_back(ConfigFileRoot(planned.found[i]));
    if (planned.plans[i].takesEffect) reached.push_back(ConfigFileRoot(planned.found[i]));
  }
  const auto services = FirebirdServiceMap();
  if (!services) {
    if (!check) plan.servers.push_back({kFirebirdServiceName, {}, {}});
    return plan;
  }
  plan.services = *services;
  const bool overridden = FolderOverridden();
  bool defaultSeen = false;
  for (const FirebirdService& server : plan.services) {
    if (server.guardian) continue;
    const bool isDefault = IsDefaultInstance(server);
    defaultSeen = defaultSeen || isDefault;
    const Text head = u"Service " + server.name + u": ";
    const Text from = server.root.empty() ? Text() : u"runs from " + server.root;
    // The default instance is started at the end of an update even when it was stopped,
    // as it always was; another instance found stopped reads its file when it starts.
    if (server.state == service_state::kStopped && isDefault) {
      if (!check) plan.servers.push_back({server.name, server.root, {}});
      continue;
    }
    if (server.state == service_state::kStopped) {
      if (InAny(saved, server.root))
        plan.lines.push_back(head + (check ? u"stopped" : u"found stopped, left stopped") + u" (" + from +
                             u"; it reads the file when it starts)");
      continue;
    }
    const bool restart = InAny(saved, server.root) || (isDefault && (overridden || server.root.empty()));
    if (restart && !check) {
      const FirebirdService* guardian = FindGuardian(plan.services, server.instance);
      const bool guarded = guardian && guardian->state != service_state::kStopped && guardian->state != 0;
      plan.servers.push_back({server.name, server.root, guarded ? guardian->name : Text()});
    }
    if (check && !from.empty()) plan.lines.push_back(head + u"running, " + from);
    if (!isDefault || server.root.empty() || InAny(reached, server.root)) continue;
    // The default instance runs from a folder whose file does not get the value.
    if (!overridden) plan.problem = ElsewhereProblem(server.name, server.root, check);
    if (!restart && !check)
      plan.lines.push_back(head + u"found running, left running (" + from +
                           u", whose firebird.conf this run did not change)");
  }
  if (!defaultSeen && !check) plan.lines.push_back(u"Service " + Text(kFirebirdServiceName) + u": not installed");
  return plan;
}

namespace {

// The server that runs from the file's folder and started before the file was last
// written, so that it does not yet run with what the file says; empty when none.
Text RestartPendingFor(const Text& file, const std::vector<FirebirdService>& services)
{
  const Text root = ConfigFileRoot(file);
  for (const FirebirdService& server : services) {
    if (server.guardian || server.state == service_state::kStopped || !SameFolder(server.root, root)) continue;
    const auto started = ProcessStartTime(server.processId);
    const auto written = FileWriteTime(file);
    if (started && written && *started < *written) return server.name;
  }
  return {};
}

} // namespace

int RunCheck(const std::vector<Text>& arguments, CallerOutput& output)
{
  try {
    const Text count = arguments.size() > 1 ? arguments[1] : Text();
    CheckCachePagesValue(count);
    CheckPageCountArgument(count);
    CheckCacheFitsMemory(count, PhysicalMemoryBytes());
    const PlannedFiles planned = PlanConfigFiles(count);
    const RestartPlan servers = PlanRestarts(planned, true);
    bool pending = false;
    for (std::size_t i = 0; i < planned.found.size(); ++i) {
      Text line = CheckedFileLine(planned.found[i], planned.plans[i], count);
      if (planned.plans[i].takesEffect) {
        const Text server = RestartPendingFor(planned.found[i], servers.services);
        if (!server.empty()) {
          line += u", restart pending (" + server + u" started before the file was last written)";
          pending = true;
        }
      }
      output.WriteLine(line);
      for (const DatabaseCacheOverride& entry : DatabaseOverridesBeside(planned.found[i]))
        output.WriteLine(DatabaseOverrideLine(planned.found[i], entry, planned.plans[i].defaultPages));
    }
    for (const Text& line : servers.lines) output.WriteLine(line);
    int code = CheckExitCode(planned.plans, count);
    if (code == kNothingFound) {
      output.WriteLine(NothingAppliesMessage(FirebirdFolders(), planned.found, planned.plans));
      return code;
    }
    if (!servers.problem.empty()) {
      output.WriteLine(servers.problem);
      return kCheckNotReached;
    }
    if (code == kUpdateDone && pending) {
      output.WriteLine(u"Restart pending: the files give the server " + Text(kCachePagesKey) + u" = " + count +
                       u", but it started before they were last written; an update would restart it.");
      return kCheckWouldChange;
    }
    output.WriteLine(CheckSummary(planned.plans, count));
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
