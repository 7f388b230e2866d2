#pragma once
// Service control and configuration-file operations of the cache-pages update.

#include <functional>

#include "base/StringList.h"
#include "base/Text.h"

namespace fbu {

inline constexpr char16_t kFirebirdServiceName[] = u"FirebirdServerDefaultInstance";
inline constexpr char16_t kCachePagesKey[] = u"DefaultDbCachePages";

// Stop phase (Start false) or start phase (Start true) of an update. Never raises.
bool SwitchFirebirdService(bool Start);
// The same, calling pump between the polls of its waits so that the caller's window
// keeps answering; an empty pump is never called.
bool SwitchFirebirdService(bool Start, const std::function<void()>& pump);

// Fills list with one candidate "<folder>\<entry>\firebird.conf" per entry of the
// Firebird folder below the program-files folder. False when that folder is missing.
bool FindFirebirdConfigFiles(TStringList* list);

// Replaces the first line holding key by "key = value" and saves the file. False when
// the file does not exist; read and write errors raise.
bool SetConfigFileValue(const Text& fileName, const Text& key, const Text& value);

} // namespace fbu
