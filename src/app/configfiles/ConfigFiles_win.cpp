// Finding the Firebird configuration files and rewriting their key line on disk.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/configfiles/ConfigText.h"
#include "app/configfiles/ConfigFiles.h"
#include "app/program/TestSeams.h"
#include "base/Exceptions.h"
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

using seams::SaveStep;

// What a save keeps of the file it replaces, read before anything is written.
struct Original {
  Text path; // the file itself: a link's final target
  DWORD attributes = 0;
  DWORD links = 1;
  FILETIME created{};
  std::vector<unsigned char> security; // owner, group and access list; empty where the volume keeps none
  bool securityUnreadable = false;     // the volume keeps one, but the caller may not read it
  // The audit list, read only where the caller holds the security privilege enabled;
  // empty otherwise or when the file has none.
  std::vector<unsigned char> audit;
};

// Which file a handle reaches: the same volume and file index is the same file, whatever
// name or link led to it.
struct FileIdentity {
  DWORD volume = 0;
  DWORD indexHigh = 0;
  DWORD indexLow = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info)
{
  return {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

// A configuration file as one open found it: its bytes, its identity and what a save
// must keep of it, so that the content saved, the file checked and the file replaced are
// the same one.
struct OpenedConfig {
  std::string bytes;
  FileIdentity identity;
  Original original;
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

// The audit list of a file opened with ACCESS_SYSTEM_SECURITY; empty when it has none.
std::vector<unsigned char> AuditListOf(HANDLE file)
{
  DWORD needed = 0;
  GetKernelObjectSecurity(file, SACL_SECURITY_INFORMATION, nullptr, 0, &needed);
  if (needed == 0) return {};
  std::vector<unsigned char> descriptor(needed);
  BOOL present = FALSE, defaulted = FALSE;
  PACL list = nullptr;
  if (!GetKernelObjectSecurity(file, SACL_SECURITY_INFORMATION, descriptor.data(), needed, &needed) ||
      !GetSecurityDescriptorSacl(descriptor.data(), &present, &list, &defaulted) || !present)
    return {};
  return descriptor;
}

// All bytes from the handle's position; false with the system's reason left for
// GetLastError.
bool ReadAll(HANDLE file, std::string& bytes)
{
  std::size_t at = 0;
  while (at < bytes.size()) {
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - at, 1u << 30));
    DWORD done = 0;
    if (!ReadFile(file, bytes.data() + at, chunk, &done, nullptr)) return false;
    if (done == 0) {
      // The file shrank meanwhile, which its share mode should have kept from happening.
      SetLastError(ERROR_HANDLE_EOF);
      return false;
    }
    at += done;
  }
  return true;
}

// Opens the file once (through a link, its final target) and takes from that one open
// its content, its identity, its final path and what a save must keep. Others may go on
// reading, but nobody may write while it is open. Errors name the path as shown.
OpenedConfig OpenConfig(const Text& shown)
{
  constexpr DWORD kShare = FILE_SHARE_READ;
  // With the security privilege enabled the audit list comes from the same open.
  UniqueFileHandle file(CreateFileW(WidePtr(shown), GENERIC_READ | READ_CONTROL | ACCESS_SYSTEM_SECURITY, kShare,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  const bool auditReadable = static_cast<bool>(file);
  if (!file)
    file.reset(CreateFileW(WidePtr(shown), GENERIC_READ | READ_CONTROL, kShare, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  bool securityReadable = true;
  if (!file && GetLastError() == ERROR_ACCESS_DENIED) {
    // Readable without its access list: the check can still tell, and the save refuses.
    file.reset(
        CreateFileW(WidePtr(shown), GENERIC_READ, kShare, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    securityReadable = false;
  }
  if (!file) RaiseFileOpenError(shown, GetLastError());
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.get(), &info)) RaiseFileOpenError(shown, GetLastError());
  const std::uint64_t size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  // A file the address space cannot hold is refused rather than read in part.
  if (size > std::string().max_size() / 2) RaiseFileOpenError(shown, ERROR_FILE_TOO_LARGE);
  OpenedConfig opened;
  opened.bytes.assign(static_cast<std::size_t>(size), '\0');
  if (!ReadAll(file.get(), opened.bytes)) RaiseFileOpenError(shown, GetLastError());
  opened.identity = IdentityOf(info);
  Original& original = opened.original;
  original.attributes = info.dwFileAttributes;
  original.links = info.nNumberOfLinks;
  original.created = info.ftCreationTime;
  original.path = FinalPath(file.get());
  if (auditReadable) original.audit = AuditListOf(file.get());
  if (securityReadable) {
    original.security = SecurityOf(file.get(), shown);
  } else {
    DWORD flags = 0;
    original.securityUnreadable =
        !GetVolumeInformationByHandleW(file.get(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) ||
        (flags & FILE_PERSISTENT_ACLS);
  }
  if (original.path.empty()) {
    // A plain file is where its name says; a link whose target cannot be named is not
    // replaced by a file of its own.
    const DWORD own = GetFileAttributesW(WidePtr(shown));
    if (own == INVALID_FILE_ATTRIBUTES || (own & FILE_ATTRIBUTE_REPARSE_POINT))
      RaiseFileCreateError(shown, ERROR_CANT_RESOLVE_FILENAME);
    original.path = shown;
  }
  return opened;
}

// The folder holding a path, without a trailing separator except at a drive's root.
Text ParentFolder(const Text& path)
{
  const std::size_t slash = path.find_last_of(u"\\/");
  if (slash == Text::npos) return u".";
  if (slash == 0 || (slash == 2 && path[1] == u':')) return path.substr(0, slash + 1);
  return path.substr(0, slash);
}

[[noreturn]] void RefuseSave(const Text& shown, TextView why)
{
  throw EFCreateError(u"Cannot create file \"" + shown + u"\". " + Text(why) + u", so it was left unchanged.");
}

// Raises EFCreateError when a save of the opened file cannot succeed, before any
// temporary file exists: a file with more than one name (hard links: the rename would
// give the new content to this name only, and the others would keep the old), the
// read-only attribute (a rename would replace such a file, and some hosts let a
// privileged user open one for writing), a file or folder the caller may not write, an
// access list the caller may not read, and an encrypted file whose folder would not
// encrypt the new one. The update's plan and the check make the same tests.
void CheckSavable(const OpenedConfig& opened, const Text& shown)
{
  const Original& original = opened.original;
  if (original.links > 1)
    throw EFCreateError(Format(u"Cannot create file \"%s\". The file has %d names (hard links), and saving it would "
                               u"give the new content to this name only, so it was left unchanged.",
                               {shown, static_cast<std::int64_t>(original.links)}));
  if (original.attributes & FILE_ATTRIBUTE_READONLY) RefuseSave(shown, u"The file has the read-only attribute");
  if (original.securityUnreadable) RefuseSave(shown, u"Its access list may not be read, to be carried over");
  {
    // Whoever may not write the file itself (access rights, another process holding it)
    // is refused here. (A brief holder without delete sharing, a scanner, is waited for
    // at the replace instead.)
    const UniqueFileHandle check(CreateFileW(WidePtr(original.path), GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!check) RaiseFileCreateError(shown, GetLastError());
  }
  const Text folder = ParentFolder(original.path);
  {
    const UniqueFileHandle check(CreateFileW(WidePtr(folder), FILE_ADD_FILE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!check)
      RefuseSave(shown, u"Its folder " + folder + u" may not be written (" + SysErrorMessage(GetLastError()) + u")");
  }
  if (original.attributes & FILE_ATTRIBUTE_ENCRYPTED) {
    // Encryption cannot be set on an open file: only a folder that encrypts new files
    // gives the saved file the original's encryption.
    const DWORD folderAttributes = GetFileAttributesW(WidePtr(folder));
    if (folderAttributes == INVALID_FILE_ATTRIBUTES || !(folderAttributes & FILE_ATTRIBUTE_ENCRYPTED))
      RefuseSave(shown, u"The file is encrypted and its folder does not encrypt new files");
  }
}

// Raises EFCreateError unless the path shown still leads to the file that was read: a
// file replaced, moved or retargeted (a link pointed elsewhere) meanwhile is another
// program's doing, and is not overwritten.
void CheckStillTheSame(const OpenedConfig& opened, const Text& shown)
{
  const UniqueFileHandle file(CreateFileW(WidePtr(shown), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (file && GetFileInformationByHandle(file.get(), &info) && IdentityOf(info) == opened.identity) return;
  RefuseSave(shown, u"Another program replaced or moved the file while it was being saved");
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
UniqueFileHandle OpenTemporary(const Text& path, const Text& shown, const Original& original)
{
  // Reading its attributes back tells whether an encrypted original's protection held;
  // an audit list read takes the privilege that sets one too.
  const DWORD kAccess =
      GENERIC_WRITE | FILE_READ_ATTRIBUTES | WRITE_DAC | (original.audit.empty() ? 0 : ACCESS_SYSTEM_SECURITY);
  UniqueFileHandle file(
      CreateFileW(WidePtr(path), kAccess | WRITE_OWNER, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file && GetLastError() == ERROR_ACCESS_DENIED)
    file.reset(CreateFileW(WidePtr(path), kAccess, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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
// audit list takes the security privilege: carried over where the caller holds it
// enabled, else it stays the folder's default.
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
  if (!original.security.empty()) {
    auto* descriptor = const_cast<unsigned char*>(original.security.data());
    constexpr SECURITY_INFORMATION kOwnerGroup = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION;
    if (!SetKernelObjectSecurity(file, kOwnerGroup | DACL_SECURITY_INFORMATION, descriptor) &&
        !SetKernelObjectSecurity(file, DACL_SECURITY_INFORMATION, descriptor))
      RaiseFileCreateError(shown, GetLastError());
  }
  // An audit list that could be read is carried over like the access list.
  if (!original.audit.empty() &&
      !SetKernelObjectSecurity(file, SACL_SECURITY_INFORMATION, const_cast<unsigned char*>(original.audit.data())))
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
void SaveReplacing(const OpenedConfig& opened, const Text& shown, const ConfigText& content)
{
  CheckSavable(opened, shown);
  const Original& original = opened.original;
  TemporaryFile temporary(original.path, shown);
  {
    const UniqueFileHandle file = OpenTemporary(temporary.Path(), shown, original);
    Protect(file.get(), original, shown);
    WriteAndFlush(file.get(), shown, content.Save());
  }
  seams::AtIdentityCheck(WidePtr(original.path));
  CheckStillTheSame(opened, shown);
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
  DWORD attributes = GetFileAttributesW(WidePtr(path));
  DWORD error = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_SUCCESS;
  if (const std::uint32_t fault = seams::PathQueryFault()) {
    attributes = INVALID_FILE_ATTRIBUTES;
    error = fault;
  }
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (IsNotFoundError(error)) return false;
    if (error != ERROR_SHARING_VIOLATION) RaiseFileOpenError(FullPath(path), error);
    WIN32_FIND_DATAW entry{};
    const UniqueFindHandle search(FindFirstFileW(WidePtr(path), &entry));
    if (!search) {
      const DWORD findError = GetLastError();
      if (IsNotFoundError(findError)) return false;
      RaiseFileOpenError(FullPath(path), findError);
    }
    return !(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    const UniqueFileHandle target(CreateFileW(WidePtr(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (target) return true;
    // A link whose target is gone leads nowhere; one whose target refuses is an error.
    const DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION) return true;
    if (IsNotFoundError(error)) return false;
    RaiseFileOpenError(FullPath(path), error);
  }
  return true;
}

ConfigFilePlan PlanConfigFile(const Text& fileName, const Text& key, const Text& value)
{
  const Text path = FullPath(fileName);
  const OpenedConfig opened = OpenConfig(path);
  ConfigFilePlan plan = PlanKeyLine(opened.bytes, key, value, SystemAnsiCodePage());
  if (plan.rewrites) {
    // The update would save this file: whatever its save would refuse is told now.
    try {
      CheckSavable(opened, path);
    } catch (const EFCreateError& refused) {
      plan.refusal = refused.Message();
    }
  }
  return plan;
}

std::optional<ConfigFilePlan> UpdateConfigFile(const Text& fileName, const Text& key, const Text& value)
{
  if (!ConfigFileExists(fileName)) return std::nullopt;
  // The error texts show the full path, and the temporary file goes beside it.
  const Text path = FullPath(fileName);
  const OpenedConfig opened = OpenConfig(path);
  ConfigText content(opened.bytes, SystemAnsiCodePage());
  const ConfigFilePlan done = PlanKeyLine(opened.bytes, content, key, value);
  if (done.rewrites) SaveReplacing(opened, path, content);
  return done;
}

bool SetConfigFileValue(const Text& fileName, const Text& key, const Text& value)
{
  return UpdateConfigFile(fileName, key, value).has_value();
}

} // namespace fbu
