#pragma once
// Test helpers for the Windows builds: real services, folders and files in the test
// prefix, each removed again when its owner goes out of scope so that the next test
// starts clean.
#ifdef _WIN32

#include <windows.h>

#include <string>

#include "base/Text.h"

namespace fbu::test {

// A Win32 own-process service created through the service control manager; stopped
// (when running) and deleted on destruction.
class ScopedService {
public:
  ScopedService(const std::wstring& name, const std::wstring& binaryPath, DWORD startType = SERVICE_DEMAND_START);
  ~ScopedService();
  ScopedService(const ScopedService&) = delete;
  ScopedService& operator=(const ScopedService&) = delete;

  const std::wstring& Name() const noexcept { return name_; }
  bool Start();
  // Sends the stop control and waits (bounded) for STOPPED.
  bool StopAndWait(DWORD timeoutMs = 20000);
  DWORD State(); // dwCurrentState, or 0 when the query fails
  bool WaitForState(DWORD state, DWORD timeoutMs = 20000);

private:
  std::wstring name_;
};

// A fresh folder under the Windows temporary folder, removed with its content.
class ScopedTempDir {
public:
  explicit ScopedTempDir(const std::wstring& prefix = L"fbu");
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;
  const std::wstring& Path() const noexcept { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
  std::wstring path_;
};

// Removes a file or a folder tree, clearing read-only, hidden and system attributes.
void RemoveTree(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadFileBytes(const std::wstring& path);

// Makes link a symbolic link to target, a file named relative to the link's folder. On
// Windows through CreateSymbolicLinkW. Wine 8's CreateSymbolicLinkW reports success and
// makes nothing; there the host's "ln -s" makes a Unix link in the prefix, which Wine
// shows as the file it points to (no reparse-point attribute; its final path is the
// target's). False when neither made a link that opens.
bool MakeFileLink(const std::wstring& link, const std::wstring& target);
// Removes such a link, leaving its target. Wine's DeleteFileW removes a Unix link's
// target instead, and a link whose target is gone is out of its reach; a rename onto
// the link replaces the link itself, on Windows too.
void RemoveFileLink(const std::wstring& link);
// The final path of a file, every link followed, without the "\\?\" prefix; empty when
// it does not open.
std::wstring FinalPathOf(const std::wstring& path);

// Sets an environment variable for the lifetime of the object, restoring the old value.
class ScopedEnv {
public:
  ScopedEnv(const std::wstring& name, const wchar_t* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
  std::wstring name_;
  std::wstring old_;
  bool hadOld_ = false;
};

// A deadline of a test's wait, stretched by the run's time scale: FBU_TIME_SCALE, set where
// the machine runs slower than the one the deadlines were chosen on (the emulated 32-bit
// lane measures it before each test); unset, below 1 or unreadable, it counts as 1.
DWORD ScaledMs(DWORD ms);

// Folder of the running test program ("...\build\win64\tests").
std::wstring ProgramFolder();

} // namespace fbu::test

#endif
