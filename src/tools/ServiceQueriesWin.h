#pragma once
// The folder search with its one service-configuration query passed in. The public
// operations pass the system's QueryServiceConfigW; a test passes a stand-in to reach a
// configuration that cannot be read, a state the test prefix cannot be brought into.
#ifdef _WIN32

#include <windows.h>

#include "base/StringList.h"
#include "base/Text.h"

namespace fbu {

using QueryServiceConfigFn = BOOL(WINAPI*)(SC_HANDLE service, LPQUERY_SERVICE_CONFIGW config, DWORD size,
                                           LPDWORD needed);

bool GetServiceFoldersUsing(QueryServiceConfigFn query, TStringList* folders, const Text& pattern,
                            const Text& machineName, bool exactMatch);
bool GetServiceFolderUsing(QueryServiceConfigFn query, Text& folder, const Text& pattern, const Text& machineName,
                           bool exactMatch);

} // namespace fbu

#endif
