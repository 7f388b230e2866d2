#pragma once
// Finding the firebird.conf files of the machine's Firebird installations, and reading
// and rewriting their key line on disk.

#include <optional>
#include <vector>

#include "app/configfiles/ConfigText.h"
#include "app/configfiles/ServerReading.h"
#include "base/StringList.h"
#include "base/Text.h"

namespace fbu {

inline constexpr char16_t kCachePagesKey[] = u"DefaultDbCachePages";

// The Firebird folders an update searches, from the environment's values: when
// "ProgramFiles(86)" is not empty, its "\Firebird" alone (scripts set it to point the
// program at one folder, a staging copy for one); else "ProgramFiles" with "\Firebird"
// appended and, when "ProgramW6432" is set and names another folder (case ignored), that
// one's "\Firebird" too. A 32-bit process on 64-bit Windows sees the x86 folder as
// "ProgramFiles", while a 64-bit server lives below "ProgramW6432".
std::vector<Text> FirebirdFoldersFrom(TextView programFiles86, TextView programFiles, TextView programW6432);

#ifdef _WIN32

// Whether "ProgramFiles(86)" names the one folder searched (FirebirdFoldersFrom).
bool FolderOverridden();

// The entries of the databases.conf beside a firebird.conf that set their own cache pages;
// empty when there is no such file or it cannot be read (it only informs).
std::vector<DatabaseCacheOverride> DatabaseOverridesBeside(const Text& configFile);

// FirebirdFoldersFrom with this process's environment.
std::vector<Text> FirebirdFolders();

// Fills list with one candidate "<folder>\<entry>\firebird.conf" per entry of each
// Firebird folder, each path once. False when none of the folders exists. A folder that
// is there but cannot be listed raises (ListFolderEntries).
bool FindFirebirdConfigFiles(TStringList* list);

// A plain file, one held open or locked by another process, or a link whose target
// opens (or is only shared away). Folders do not count. Only the errors that say the
// path is not there (IsNotFoundError) mean no file: any other failure to look at it
// raises EFOpenError naming it, so that a file the caller may not see is never taken
// for a missing one.
bool ConfigFileExists(const Text& path);

// Replaces the key line (ConfigText::FindKeyLine) by "key = value" and saves the file.
// False when the file does not exist; read and write errors raise.
bool SetConfigFileValue(const Text& fileName, const Text& key, const Text& value);

// SetConfigFileValue telling what it did: nothing when the file does not exist, else
// the plan it carried out (rewrites: the file was saved).
std::optional<ConfigFilePlan> UpdateConfigFile(const Text& fileName, const Text& key, const Text& value);

// Reads an existing file and tells what an update would make of it; changes nothing.
// Read errors raise as in SetConfigFileValue.
ConfigFilePlan PlanConfigFile(const Text& fileName, const Text& key, const Text& value);

#endif

} // namespace fbu
