#pragma once
// Queries of the Windows service control manager: which folder holds the executable of
// a kind of service. Every operation answers with a Boolean and raises nothing of its
// own (allocation failure aside). An empty machine name means the local machine.

#include "base/StringList.h"
#include "base/Text.h"

namespace fbu {

bool EnumWin32Services(TStringList* list, const Text& machineName);
bool FindServices(TStringList* list, const Text& pattern, const Text& machineName, bool exactMatch);
bool GetServiceFolders(TStringList* folders, const Text& pattern, const Text& machineName, bool exactMatch);
bool GetServiceFolder(Text& folder, const Text& pattern, const Text& machineName, bool exactMatch);
bool GetFirebirdServerFolder(Text& folder, const Text& machineName);

} // namespace fbu
