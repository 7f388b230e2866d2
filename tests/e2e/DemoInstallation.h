#pragma once
// The pieces of the end-to-end tests: a demo Firebird installation in the test prefix,
// a run of the real program, and its dialog seen from outside through window messages.
#include <windows.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/WinHandles.h"
#include "support/WinTestSupport.h"

namespace fbu::test {

// C:\Program Files\Firebird with four instance folders (three with a firebird.conf, one
// without) and a hidden folder holding a firebird.conf that must never be touched; the
// stand-in service runs as "FirebirdServerDefaultInstance" from Firebird_4_0's bin
// folder. Everything is removed again on destruction.
class DemoInstallation {
public:
  DemoInstallation();
  ~DemoInstallation();
  DemoInstallation(const DemoInstallation&) = delete;
  DemoInstallation& operator=(const DemoInstallation&) = delete;

  // Bytes of every firebird.conf of the installation, the hidden one included.
  std::map<std::wstring, std::string> Snapshot() const;
  // Expects the first count visible files (in the program's order) rewritten from their
  // state in before with value, and every other file unchanged.
  void ExpectWritten(const std::map<std::wstring, std::string>& before, const std::string& value,
                     std::size_t count = SIZE_MAX) const;
  // Files in the instance folders that the installation did not make (a save's
  // temporary file left behind, for one).
  std::vector<std::wstring> StrayFiles() const;
  const std::wstring& Root() const noexcept { return root_; }
  // The configuration files the program rewrites, in the order the folder lists them.
  std::vector<std::wstring> ConfigFilesInProgramOrder() const;

  // The DefaultDbCachePages value the stand-in read at each of its starts, oldest first.
  std::vector<std::string> ServiceStarts() const;
  bool WaitForServiceStarts(std::size_t count, DWORD timeoutMs) const;
  DWORD ServiceState() const;
  bool WaitForServiceState(DWORD state, DWORD timeoutMs) const;
  bool StopService();
  // Makes the stand-in stay in STOP_PENDING for this long after a stop control.
  void SetServiceStopDelay(DWORD ms);
  // The stand-in's control file ("key=value" lines, see tests/support/standin), and a
  // control sent to the running service (its reload control makes it read the file now).
  void SetServiceControl(const std::string& text);
  bool SendServiceControl(DWORD control);
  // Asks the service to start, without waiting for it.
  bool StartService();
  // Stops and deletes the service, as on a machine without a server.
  void RemoveService();
  // Deletes every firebird.conf the program could find (the hidden one stays).
  void RemoveConfigFiles();

  // Installs another stand-in service from an instance folder, its executable in the
  // folder itself (3.0 and later) or in its bin folder, with switches appended to its
  // command line ("-guardian <server>" makes it a Guardian); started and waited for when
  // start. Removed before the default instance.
  void AddService(const std::wstring& name, const std::wstring& instance, bool inBin, const std::wstring& switches,
                  bool start);
  DWORD ServiceStateOf(const std::wstring& name) const;
  // The values the stand-in running from an instance folder read at its starts.
  std::vector<std::string> StartsIn(const std::wstring& instance) const;

private:
  std::wstring root_;
  std::wstring serviceInstance_;
  std::wstring hiddenConfig_;
  mutable std::optional<ScopedService> service_; // its queries are not const
  std::vector<std::unique_ptr<ScopedService>> others_;
};

// The real program's dialog, from outside.
struct Dialog {
  HWND window = nullptr;
  HWND label = nullptr;
  HWND combo = nullptr;
  HWND button = nullptr;

  // Left, top, width and height in the dialog's client coordinates.
  std::array<int, 4> ChildBounds(HWND child) const;
  static std::wstring Text(HWND window);
  std::vector<std::wstring> Items() const;
  // Presses the button and waits for the update it runs to finish.
  bool Click(DWORD timeoutMs) const;
  bool WaitUntilEnabled(DWORD timeoutMs) const;
  static std::wstring MessageBoxText(HWND box);
};

// One run of FbConfigUtility.exe with the given argument text; ended by force if the
// test leaves it running. programVariable names the build of the program to run; show,
// when not negative, is the show command its start-up information asks for (SW_HIDE...);
// output, when not empty, is a file that gets its standard output and error, as a
// deployment tool redirects them.
class ProgramRun {
public:
  explicit ProgramRun(const std::wstring& arguments, const wchar_t* programVariable = L"FBU_PROGRAM", int show = -1,
                      const std::wstring& output = {});
  ~ProgramRun();
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  bool WaitForExit(DWORD timeoutMs);
  DWORD ExitCode() const;
  // Ends the process at once, as a crash or a forced shutdown would.
  void Kill();
  HANDLE Handle() const noexcept { return process_.get(); }
  // The main window (no owner) once it is visible and the program waits for input, with
  // its controls.
  Dialog WaitForDialog(DWORD timeoutMs);
  // An error report: a dialog window of the process that has an owner.
  HWND WaitForMessageBox(DWORD timeoutMs);
  // Whether any window of the process, or a message box, was seen while waiting for it.
  bool EverShowedDialog() const noexcept { return sawWindow_; }
  bool EverShowedMessageBox() const noexcept { return sawBox_; }

private:
  HWND FindWindowOfProcess(bool owned);
  UniqueKernelHandle process_;
  DWORD processId_ = 0;
  bool sawWindow_ = false;
  bool sawBox_ = false;
};

// A file held open without any sharing, as another program may hold it.
class HeldOpenFile {
public:
  explicit HeldOpenFile(const std::wstring& path);
  HeldOpenFile(const HeldOpenFile&) = delete;
  HeldOpenFile& operator=(const HeldOpenFile&) = delete;

private:
  UniqueFileHandle file_;
};

// An environment variable's value, empty when it is not set.
std::wstring EnvironmentValue(const wchar_t* name);

// A build product named by a variable holding its Unix path, as a Windows path.
std::wstring BuiltFile(const wchar_t* variable);

} // namespace fbu::test
