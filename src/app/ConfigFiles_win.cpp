// Finding the Firebird configuration files and rewriting their key line on disk.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/ConfigText.h"
#include "app/IBSystemActions.h"
#include "app/TestSeams.h"
#include "base/Exceptions.h"
#include "base/Stream.h"
#include "base/WinHandles.h"
#include "tools/GeneralTools.h"

namespace fbu {

namespace {

Text EnvironmentValue(const wchar_t* name)
{
  std::wstring buffer(256, L'\0');
  for (;;) {
    const DWORD length = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return FromWide(buffer.data(), length);
    buffer.resize(length);
  }
}

Text FullPath(const Text& path)
{
  const DWORD length = GetFullPathNameW(WidePtr(path), 0, nullptr, nullptr);
  if (length == 0) return path;
  std::wstring buffer(length, L'\0');
  const DWORD written = GetFullPathNameW(WidePtr(path), length, buffer.data(), nullptr);
  if (written == 0 || written >= length) return path;
  return FromWide(buffer.data(), written);
}

Text FolderOf(const Text& path)
{
  const std::size_t slash = path.find_last_of(u"\\/");
  return slash == Text::npos ? Text(u".") : path.substr(0, slash + 1);
}

AnsiCodePage SystemAnsiCodePage()
{
  AnsiCodePage page;
  page.decode = [](std::string_view bytes) {
    if (bytes.empty()) return Text();
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, text.data(), length);
    return FromWide(text.data(), text.size());
  };
  page.encode = [](TextView text) {
    if (text.empty()) return std::string();
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int size = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_ACP, 0, wide, size, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, size, bytes.data(), length, nullptr, nullptr);
    return bytes;
  };
  return page;
}

std::string ReadWholeFile(const Text& path)
{
  // Others may go on reading, but nobody may write while the file is loaded.
  TFileStream stream(path, fmOpenRead | fmShareDenyWrite);
  const std::int64_t size = stream.Size();
  // A file the address space cannot hold is refused rather than read in part.
  if (static_cast<std::uint64_t>(size) > std::string().max_size() / 2) RaiseFileOpenError(path, ERROR_FILE_TOO_LARGE);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  stream.ReadBuffer(bytes.data(), size);
  return bytes;
}

using seams::SaveStep;

// What a save keeps of the file it replaces, read before anything is written.
struct Original {
  Text path; // the file itself: a link's final target
  DWORD attributes = 0;
  FILETIME created{};
  std::vector<unsigned char> security; // owner, group and access list; empty where the volume keeps none
};

// The plain form ("C:\...", "\\server\share\...") of a final path, which comes as "\\?\...".
Text PlainPath(Text path)
{
  if (path.starts_with(u"\\\\?\\UNC\\"))
    path.replace(0, 8, u"\\\\");
  else if (path.starts_with(u"\\\\?\\") && path.size() > 6 && path[5] == u':')
    path.erase(0, 4);
  return path;
}

// The path of the file behind a handle, every link followed; empty when the system
// cannot name it (a volume without a drive letter, some network file systems).
Text FinalPath(HANDLE file)
{
  constexpr DWORD kFlags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
  const DWORD length = GetFinalPathNameByHandleW(file, nullptr, 0, kFlags);
  if (length == 0) return {};
  std::wstring buffer(length, L'\0');
  const DWORD written = GetFinalPathNameByHandleW(file, buffer.data(), length, kFlags);
  if (written == 0 || written >= length) return {};
  return PlainPath(FromWide(buffer.data(), written));
}

// The owner, group and access list of an open file; empty when its volume keeps none
// (FAT), so that there is nothing to carry over.
std::vector<unsigned char> SecurityOf(HANDLE file, const Text& shown)
{
  DWORD flags = 0;
  if (GetVolumeInformationByHandleW(file, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
      !(flags & FILE_PERSISTENT_ACLS))
    return {};
  constexpr SECURITY_INFORMATION kParts =
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  DWORD needed = 0;
  GetKernelObjectSecurity(file, kParts, nullptr, 0, &needed);
  if (needed == 0) RaiseFileCreateError(shown, GetLastError());
  std::vector<unsigned char> descriptor(needed);
  if (!GetKernelObjectSecurity(file, kParts, descriptor.data(), needed, &needed))
    RaiseFileCreateError(shown, GetLastError());
  return descriptor;
}

// Opens the file a save replaces (through a link, its final target) and reads what the
// save must keep. A file with more than one name (hard links) is refused: the rename
// would give the new content to this name only, and the others would keep the old.
Original Inspect(const Text& shown)
{
  const UniqueFileHandle file(CreateFileW(WidePtr(shown), FILE_READ_ATTRIBUTES | READ_CONTROL,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) RaiseFileCreateError(shown, GetLastError());
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.get(), &info)) RaiseFileCreateError(shown, GetLastError());
  if (info.nNumberOfLinks > 1)
    throw EFCreateError(Format(u"Cannot create file \"%s\". The file has %d names (hard links), and saving it would "
                               u"give the new content to this name only, so it was left unchanged.",
                               {shown, static_cast<std::int64_t>(info.nNumberOfLinks)}));
  Original original{FinalPath(file.get()), info.dwFileAttributes, info.ftCreationTime, SecurityOf(file.get(), shown)};
  if (original.path.empty()) {
    // A plain file is where its name says; a link whose target cannot be named is not
    // replaced by a file of its own.
    const DWORD own = GetFileAttributesW(WidePtr(shown));
    if (own == INVALID_FILE_ATTRIBUTES || (own & FILE_ATTRIBUTE_REPARSE_POINT))
      RaiseFileCreateError(shown, ERROR_CANT_RESOLVE_FILENAME);
    original.path = shown;
  }
  return original;
}

// The temporary file of one save, in the folder of the file it replaces so that the last
// step is a rename within one volume; removed again unless it has become that file.
class TemporaryFile {
public:
  TemporaryFile(const Text& target, const Text& shown)
  {
    if (const std::uint32_t code = seams::AtSaveStep(SaveStep::CreateTemporary)) RaiseFileCreateError(shown, code);
    std::wstring name(MAX_PATH + 1, L'\0');
    if (!GetTempFileNameW(WidePtr(FolderOf(target)), L"fbu", 0, name.data()))
      RaiseFileCreateError(shown, GetLastError());
    path_ = FromWide(name.c_str());
  }
  ~TemporaryFile()
  {
    if (!path_.empty()) DeleteFileW(WidePtr(path_));
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const Text& Path() const noexcept { return path_; }
  void Consumed() noexcept { path_.clear(); }

private:
  Text path_;
};

// The temporary file open for writing and for taking the original's security; with the
// right to change its owner where the folder's access list grants it.
UniqueFileHandle OpenTemporary(const Text& path, const Text& shown)
{
  UniqueFileHandle file(CreateFileW(WidePtr(path), GENERIC_WRITE | WRITE_DAC | WRITE_OWNER, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file && GetLastError() == ERROR_ACCESS_DENIED)
    file.reset(CreateFileW(WidePtr(path), GENERIC_WRITE | WRITE_DAC, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr));
  if (!file) RaiseFileCreateError(shown, GetLastError());
  return file;
}

// Gives the still empty temporary file what the original has besides its content, so
// that the content is never in a file less protected than the original: the attributes
// (with the archive mark, the content being a change), the creation time and the
// security. Whatever cannot be carried over fails the save, with one exception: the
// owner (and the group, set with it). Another owner than the caller or one of its groups
// takes the restore privilege, which a deployment tool's administrator does not hold
// enabled; the caller then owns the new file, which gives it no right it lacked, since a
// caller that may replace the file could put a file of its own in its place anyway. The
// audit list takes the security privilege and stays the folder's default.
void Protect(HANDLE file, const Original& original, const Text& shown)
{
  if (const std::uint32_t code = seams::AtSaveStep(SaveStep::Protect)) RaiseFileCreateError(shown, code);
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  FILE_BASIC_INFO basic{};
  basic.CreationTime.LowPart = original.created.dwLowDateTime;
  basic.CreationTime.HighPart = static_cast<LONG>(original.created.dwHighDateTime);
  basic.FileAttributes = FILE_ATTRIBUTE_ARCHIVE | (original.attributes & kKept);
  if (!SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic))
    RaiseFileCreateError(shown, GetLastError());
  // Encryption cannot be set on an open file: an encrypted original keeps it only when
  // the folder gives new files encryption.
  if (original.attributes & FILE_ATTRIBUTE_ENCRYPTED) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_ENCRYPTED))
      RaiseFileCreateError(shown, ERROR_ENCRYPTION_FAILED);
  }
  if (original.security.empty()) return;
  auto* descriptor = const_cast<unsigned char*>(original.security.data());
  constexpr SECURITY_INFORMATION kOwnerGroup = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION;
  if (SetKernelObjectSecurity(file, kOwnerGroup | DACL_SECURITY_INFORMATION, descriptor)) return;
  if (!SetKernelObjectSecurity(file, DACL_SECURITY_INFORMATION, descriptor))
    RaiseFileCreateError(shown, GetLastError());
}

// Writes all bytes; false with the system's reason left for GetLastError.
bool WriteAll(HANDLE file, std::string_view bytes)
{
  while (!bytes.empty()) {
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD done = 0;
    if (!WriteFile(file, bytes.data(), chunk, &done, nullptr)) return false;
    if (done == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    bytes.remove_prefix(done);
  }
  return true;
}

void WriteAndFlush(HANDLE file, const Text& shown, std::string_view bytes)
{
  if (const std::uint32_t code = seams::AtSaveStep(SaveStep::Write)) {
    WriteAll(file, bytes.substr(0, bytes.size() / 2));
    RaiseFileCreateError(shown, code);
  }
  if (!WriteAll(file, bytes)) RaiseFileCreateError(shown, GetLastError());
  if (const std::uint32_t code = seams::AtSaveStep(SaveStep::Flush)) RaiseFileCreateError(shown, code);
  if (!FlushFileBuffers(file)) RaiseFileCreateError(shown, GetLastError());
  if (const std::uint32_t code = seams::AtSaveStep(SaveStep::Flushed)) RaiseFileCreateError(shown, code);
}

// Scanners, indexers and backup agents open files for a moment, and a replace that meets
// one fails with a sharing violation or with access denied: it is tried again for up to
// two seconds before the save counts as failed.
constexpr ULONGLONG kReplaceRetryMs = 2000;
constexpr DWORD kReplaceRetryPauseMs = 50;

void Replace(const Text& temporary, const Text& target, const Text& shown)
{
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    DWORD error = seams::AtSaveStep(SaveStep::Replace);
    if (!error) {
      if (MoveFileExW(WidePtr(temporary), WidePtr(target), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return;
      error = GetLastError();
    }
    const bool brief = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED;
    if (!brief || GetTickCount64() - start >= kReplaceRetryMs) RaiseFileCreateError(shown, error);
    Sleep(kReplaceRetryPauseMs);
  }
}

// Puts content in place of the file so that at every moment the file is whole, old or
// new: the new bytes go to a temporary file beside it (beside a link's final target,
// which is what gets replaced, so the link stays a link), which takes the original's
// attributes, times and security and is flushed, then one rename replaces the original.
// On any failure the original stays as it was and the temporary file is removed; a crash
// leaves at worst a stray temporary file beside a whole original. Errors name the file as
// shown (the path found), never the temporary file.
void SaveReplacing(const Text& shown, const ConfigText& content)
{
  const Original original = Inspect(shown);
  // Whoever may not write the file itself (read-only attribute, access rights, another
  // process holding it) is refused here, before a temporary file exists. The attribute
  // is tested by itself too: a rename would replace a read-only file, and some hosts
  // let a privileged user open one for writing.
  if (original.attributes & FILE_ATTRIBUTE_READONLY) RaiseFileCreateError(shown, ERROR_ACCESS_DENIED);
  {
    const UniqueFileHandle check(CreateFileW(WidePtr(original.path), GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!check) RaiseFileCreateError(shown, GetLastError());
  }
  TemporaryFile temporary(original.path, shown);
  {
    const UniqueFileHandle file = OpenTemporary(temporary.Path(), shown);
    Protect(file.get(), original, shown);
    WriteAndFlush(file.get(), shown, content.Save());
  }
  Replace(temporary.Path(), original.path, shown);
  temporary.Consumed();
  seams::AtSaveStep(SaveStep::Replaced);
}

} // namespace

std::vector<Text> FirebirdFolders()
{
  return FirebirdFoldersFrom(EnvironmentValue(L"ProgramFiles(86)"), EnvironmentValue(L"ProgramFiles"),
                             EnvironmentValue(L"ProgramW6432"));
}

bool FolderOverridden()
{
  return !EnvironmentValue(L"ProgramFiles(86)").empty();
}

std::vector<DatabaseCacheOverride> DatabaseOverridesBeside(const Text& configFile)
{
  const Text path = FolderOf(FullPath(configFile)) + u"databases.conf";
  // Read with every sharing, so that the server and editors are never in the way.
  const UniqueFileHandle file(CreateFileW(WidePtr(path), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {};
  constexpr DWORD kLargest = 16u << 20; // far beyond any real one
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > kLargest) return {};
  std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD done = 0;
  if (!bytes.empty() && (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr)))
    return {};
  bytes.resize(done);
  return DatabaseCacheOverrides(bytes, ToUtf8(kCachePagesKey));
}

bool FindFirebirdConfigFiles(TStringList* list)
{
  if (!list) return false;
  list->Clear();
  bool anyFolder = false;
  TStringList entries;
  for (const Text& folder : FirebirdFolders()) {
    if (!ListFolderEntries(folder, &entries)) continue;
    anyFolder = true;
    for (int i = 0; i < entries.Count(); ++i) {
      const Text path = folder + u"\\" + entries[i] + u"\\firebird.conf";
      if (list->IndexOf(path) < 0) list->Add(path);
    }
  }
  return anyFolder;
}

bool ConfigFileExists(const Text& path)
{
  const DWORD attributes = GetFileAttributesW(WidePtr(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (GetLastError() != ERROR_SHARING_VIOLATION) return false;
    WIN32_FIND_DATAW entry{};
    const UniqueFindHandle search(FindFirstFileW(WidePtr(path), &entry));
    return search && !(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    const UniqueFileHandle target(CreateFileW(WidePtr(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    return target || GetLastError() == ERROR_SHARING_VIOLATION;
  }
  return true;
}

ConfigFilePlan PlanConfigFile(const Text& fileName, const Text& key, const Text& value)
{
  return PlanKeyLine(ReadWholeFile(FullPath(fileName)), key, value, SystemAnsiCodePage());
}

std::optional<ConfigFilePlan> UpdateConfigFile(const Text& fileName, const Text& key, const Text& value)
{
  if (!ConfigFileExists(fileName)) return std::nullopt;
  // The error texts show the full path, and the temporary file goes beside it.
  const Text path = FullPath(fileName);
  const std::string bytes = ReadWholeFile(path);
  ConfigText content(bytes, SystemAnsiCodePage());
  const ConfigFilePlan done = PlanKeyLine(bytes, content, key, value);
  if (done.rewrites) SaveReplacing(path, content);
  return done;
}

bool SetConfigFileValue(const Text& fileName, const Text& key, const Text& value)
{
  return UpdateConfigFile(fileName, key, value).has_value();
}

} // namespace fbu
