#include <windows.h>

#include "base/WinHandles.h"
#include "tools/GeneralTools.h"

namespace fbu {

namespace {

// Whether the path names a folder. Errors that say the path is not there make it
// missing; any other failure of the attribute query (access denied, for instance) leaves
// it present. A link must in addition lead to a folder that opens.
bool FolderExists(const Text& folder)
{
  const DWORD attributes = GetFileAttributesW(WidePtr(folder));
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_NOT_READY:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_NAME: return false;
    default: return true;
    }
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    const UniqueFileHandle target(CreateFileW(WidePtr(folder), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return static_cast<bool>(target);
  }
  return true;
}

void RemoveFirst(TStringList& list, TextView name)
{
  for (int i = 0; i < list.Count(); ++i) {
    if (list[i] == name) {
      list.Delete(i);
      return;
    }
  }
}

} // namespace

bool ListFolderEntries(const Text& folder, TStringList* list)
{
  if (!list) return false;
  list->Clear();
  if (!FolderExists(folder)) return false;

  Text pattern = folder;
  if (pattern.empty() || pattern.back() != u'\\') pattern += u'\\';
  pattern += u"*.*";
  WIN32_FIND_DATAW entry{};
  const UniqueFindHandle search(FindFirstFileW(WidePtr(pattern), &entry));
  if (search) {
    do {
      if (entry.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) continue;
      list->Add(FromWide(entry.cFileName));
    } while (FindNextFileW(search.get(), &entry));
  }
  RemoveFirst(*list, u".");
  RemoveFirst(*list, u"..");
  return true;
}

} // namespace fbu
