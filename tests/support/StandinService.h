#pragma once
// The stand-in database service (tests/support/standin) installed for one test as
// "FirebirdServerDefaultInstance": its executable in <root>\<instance>\bin, a
// firebird.conf in <root>\<instance>. Everything goes again on destruction.
#ifdef _WIN32

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/WinTestSupport.h"

namespace fbu::test {

// The DefaultDbCachePages value the stand-in read at each of its starts, oldest first,
// from the start log in its instance folder; for a start without one, what it found
// instead ("DefaultDbCachePages not set -> 2048 pages", "firebird.conf unreadable: ...").
std::vector<std::string> StandinStartValues(const std::wstring& instanceFolder);

class StandinService {
public:
  // Installs the service, stopped. The executable is the one named by FBU_STANDIN (a
  // Unix path) or else the one built in support\standin next to the test program.
  explicit StandinService(const std::string& config = "DefaultDbCachePages = 2048\r\n",
                          const std::wstring& instance = L"Firebird_4_0");
  ~StandinService();
  StandinService(const StandinService&) = delete;
  StandinService& operator=(const StandinService&) = delete;

  const std::wstring& InstanceFolder() const noexcept { return instance_; }
  std::wstring ConfigFile() const { return instance_ + L"\\firebird.conf"; }

  // Rewrites the control file ("key=value" lines); the service reads it at its next
  // start or control. Reload makes a running service read it now.
  void SetControl(const std::map<std::string, std::string>& values);
  void SetControl(const std::string& text);
  bool Reload();

  // The DefaultDbCachePages value the service read at each of its starts, oldest first.
  std::vector<std::string> Starts() const;
  bool WaitForStarts(std::size_t count, DWORD timeoutMs = 20000) const;

  bool Start() { return service_->Start(); }
  DWORD State() { return service_->State(); }
  bool WaitForState(DWORD state, DWORD timeoutMs = 20000) { return service_->WaitForState(state, timeoutMs); }
  // ControlService with the given control; true when the service accepted it.
  bool Send(DWORD control);
  bool Pause() { return Send(SERVICE_CONTROL_PAUSE); }

private:
  ScopedTempDir root_;
  std::wstring instance_;
  std::optional<ScopedService> service_;
};

} // namespace fbu::test

#endif
