#include <windows.h>

#include "base/Exceptions.h"
#include "base/WinHandles.h"
#include "tools/GeneralTools.h"

namespace fbu {

namespace {

[[noreturn]] void RaiseFolderError(const Text& folder, DWORD code)
{
  throw EFOpenError(Format(u"Cannot read folder \"%s\". %s", {folder, SysErrorMessage(code)}));
}

// Whether the path names a folder. Errors that say the path is not there make it
// missing; any other failure of the attribute query (access denied, for instance) leaves
// it present, and the listing then tells. A link must in addition lead to a folder that
// opens; one whose target is there but refuses is an error.
bool FolderExists(const Text& folder)
{
  const DWORD attributes = GetFileAttributesW(WidePtr(folder));
  if (attributes == INVALID_FILE_ATTRIBUTES) return !IsNotFoundError(GetLastError());
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    const UniqueFileHandle target(CreateFileW(WidePtr(folder), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!target) {
      const DWORD error = GetLastError();
      if (IsNotFoundError(error)) return false;
      RaiseFolderError(folder, error);
    }
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

bool IsNotFoundError(std::uint32_t code)
{
  switch (code) {
  case ERROR_FILE_NOT_FOUND:
  case ERROR_PATH_NOT_FOUND:
  case ERROR_INVALID_DRIVE:
  case ERROR_NOT_READY:
  case ERROR_BAD_NETPATH:
  case ERROR_BAD_NET_NAME:
  case ERROR_INVALID_NAME:
  case ERROR_DIRECTORY: return true;
  default: return false;
  }
}

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
    // A listing cut short is no listing: the entries after the failure are unknown.
    if (GetLastError() != ERROR_NO_MORE_FILES) RaiseFolderError(folder, GetLastError());
  } else {
    // An empty root folder has no entries at all; a folder that denies the caller is an
    // error, not an empty folder.
    const DWORD error = GetLastError();
    if (error != ERROR_NO_MORE_FILES && !IsNotFoundError(error)) RaiseFolderError(folder, error);
  }
  RemoveFirst(*list, u".");
  RemoveFirst(*list, u"..");
  return true;
}

} // namespace fbu
