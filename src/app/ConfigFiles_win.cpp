// Finding the Firebird configuration files and rewriting their key line on disk.
#include <windows.h>

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

// The temporary file of one save, in the target's folder so that the last step is a
// rename within one volume; removed again unless it has become the target.
class TemporaryFile {
public:
  explicit TemporaryFile(const Text& target)
  {
    if (const std::uint32_t code = seams::AtSaveStep(SaveStep::CreateTemporary)) RaiseFileCreateError(target, code);
    std::wstring name(MAX_PATH + 1, L'\0');
    if (!GetTempFileNameW(WidePtr(FolderOf(target)), L"fbu", 0, name.data()))
      RaiseFileCreateError(target, GetLastError());
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

void WriteAndFlush(const Text& temporary, const Text& target, std::string_view bytes)
{
  TFileStream stream(temporary, fmOpenWrite | fmShareExclusive);
  const auto size = static_cast<std::int64_t>(bytes.size());
  if (const std::uint32_t code = seams::AtSaveStep(SaveStep::Write)) {
    stream.Write(bytes.data(), size / 2);
    RaiseFileCreateError(target, code);
  }
  if (stream.Write(bytes.data(), size) != size) RaiseFileCreateError(target, GetLastError());
  if (const std::uint32_t code = seams::AtSaveStep(SaveStep::Flush)) RaiseFileCreateError(target, code);
  try {
    stream.Flush();
  } catch (const EOSError& error) {
    RaiseFileCreateError(target, error.ErrorCode);
  }
}

// Gives the temporary file the target's owner, group and access list, as far as this
// process may: reading them needs READ_CONTROL on the target; the owner can only be set
// to the caller or one of its groups without the restore privilege, so another owner is
// left to the caller's default; the audit list (SACL) needs the security privilege and
// is not carried over at all.
void CopySecurity(const Text& from, const Text& to)
{
  constexpr SECURITY_INFORMATION kAll =
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  DWORD needed = 0;
  GetFileSecurityW(WidePtr(from), kAll, nullptr, 0, &needed);
  if (needed == 0) return;
  std::vector<unsigned char> descriptor(needed);
  if (!GetFileSecurityW(WidePtr(from), kAll, descriptor.data(), needed, &needed)) return;
  const SECURITY_INFORMATION attempts[] = {kAll, kAll & ~SECURITY_INFORMATION{OWNER_SECURITY_INFORMATION},
                                           DACL_SECURITY_INFORMATION};
  for (const SECURITY_INFORMATION parts : attempts) {
    if (SetFileSecurityW(WidePtr(to), parts, descriptor.data())) return;
  }
}

// Puts content in place of the file so that at every moment the file is whole, old or
// new: the new bytes go to a temporary file beside it, which takes the original's
// attributes and security and is flushed, then one rename replaces the original. On any
// failure the original stays as it was and the temporary file is removed; a crash
// leaves at worst a stray temporary file beside a whole original.
void SaveReplacing(const Text& target, const ConfigText& content)
{
  // Whoever may not write the file itself (read-only attribute, access rights, another
  // process holding it) is refused here, before a temporary file exists. The attribute
  // is tested by itself too: a rename would replace a read-only file, and some hosts
  // let a privileged user open one for writing.
  const DWORD attributes = GetFileAttributesW(WidePtr(target));
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    RaiseFileCreateError(target, ERROR_ACCESS_DENIED);
  {
    const UniqueFileHandle check(CreateFileW(WidePtr(target), GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!check) RaiseFileCreateError(target, GetLastError());
  }
  TemporaryFile temporary(target);
  WriteAndFlush(temporary.Path(), target, content.Save());
  // The new content is a change, so it carries the archive mark; the rest as before.
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kKept))
    SetFileAttributesW(WidePtr(temporary.Path()), FILE_ATTRIBUTE_ARCHIVE | (attributes & kKept));
  CopySecurity(target, temporary.Path());
  if (const std::uint32_t code = seams::AtSaveStep(SaveStep::Replace)) RaiseFileCreateError(target, code);
  if (!MoveFileExW(WidePtr(temporary.Path()), WidePtr(target), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    RaiseFileCreateError(target, GetLastError());
  temporary.Consumed();
}

} // namespace

std::vector<Text> FirebirdFolders()
{
  return FirebirdFoldersFrom(EnvironmentValue(L"ProgramFiles(86)"), EnvironmentValue(L"ProgramFiles"),
                             EnvironmentValue(L"ProgramW6432"));
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

bool SetConfigFileValue(const Text& fileName, const Text& key, const Text& value)
{
  if (!ConfigFileExists(fileName)) return false;
  // The error texts show the full path, and the temporary file goes beside it.
  const Text path = FullPath(fileName);
  ConfigText content(ReadWholeFile(path), SystemAnsiCodePage());
  if (ReplaceKeyLine(content, key, value)) SaveReplacing(path, content);
  return true;
}

} // namespace fbu
