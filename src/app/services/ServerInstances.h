#pragma once
// Which Firebird server runs from where: every service named FirebirdServer<instance> or
// FirebirdGuardian<instance>, with the installation root it runs from, so that an update
// knows which running server reads which firebird.conf.

#include <cstdint>
#include <optional>
#include <vector>

#include "base/Text.h"

namespace fbu {

inline constexpr char16_t kServerServicePrefix[] = u"FirebirdServer";
inline constexpr char16_t kGuardianServicePrefix[] = u"FirebirdGuardian";

struct FirebirdService {
  Text name;             // as the manager lists it
  Text instance;         // the name after the prefix ("DefaultInstance")
  bool guardian = false; // FirebirdGuardian<instance>, else FirebirdServer<instance>
  Text root;             // the installation root; empty when it could not be read
  // The root as its final path (links, junctions and short names resolved), which is what
  // folders are compared by; empty when the folder could not be opened.
  Text finalRoot;
  std::uint32_t state = 0;     // dwCurrentState; 0 when it could not be read
  std::uint32_t processId = 0; // of a running service, else 0
};

// The kind and instance of a service name: the prefix in any case, then the instance
// (possibly empty). Nothing for other names.
std::optional<FirebirdService> FirebirdServiceNamed(TextView name);

// The installation root of a service's binary path (the command line the manager keeps):
// its executable (ServiceExecutablePath, the reading the client-library loader shares)
// reduced to its folder, and a "bin" folder to its parent. Empty when the path names no
// folder.
Text InstallationRoot(TextView binaryPath);

// A folder as compared: '/' as '\', without trailing separators (a drive root keeps
// its own).
Text ComparableFolder(TextView folder);

// The installation root of a firebird.conf: the folder holding it.
Text ConfigFileRoot(TextView configFile);

// Whether two final paths of folders name the same folder (case ignored as Windows
// ignores it); an empty one, a folder that could not be read, is no folder.
bool SameInstallation(TextView a, TextView b);

// The server service of an instance in the map, when listed.
const FirebirdService* FindServer(const std::vector<FirebirdService>& services, TextView instance);
const FirebirdService* FindGuardian(const std::vector<FirebirdService>& services, TextView instance);

#ifdef _WIN32

// The final path of a folder (every link, junction and short name resolved, in its plain
// form); empty when the folder cannot be opened.
Text FinalFolder(const Text& folder);

// Every Firebird server and Guardian service of this machine, the manager's order kept,
// with their states as one listing saw them. Nothing when the services cannot be listed
// (error, when given, gets the system's reason); a service whose configuration or folder
// cannot be read is listed with an empty root or final root, one whose state cannot be
// read with state 0.
std::optional<std::vector<FirebirdService>> FirebirdServiceMap(std::uint32_t* error = nullptr);

// When a process started, in FILETIME units; nothing when it cannot be asked.
std::optional<std::uint64_t> ProcessStartTime(std::uint32_t processId);
// When a file was last written, in FILETIME units; nothing when it cannot be read.
std::optional<std::uint64_t> FileWriteTime(const Text& path);

#endif

} // namespace fbu
