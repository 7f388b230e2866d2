// Finding the Firebird configuration files and rewriting their key line on disk.
#include <windows.h>

#include <string>
#include <vector>

#include "app/ConfigText.h"
#include "app/IBSystemActions.h"
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

// A plain file, one held open or locked by another process, or a link whose target
// opens (or is only shared away). Folders do not count.
bool FileExists(const Text& path)
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
  if (static_cast<std::uint64_t>(size) > std::string().max_size() / 2)
    throw EFOpenError(Format(u"Cannot open file \"%s\". %s", {path, SysErrorMessage(ERROR_FILE_TOO_LARGE)}));
  std::string bytes(static_cast<std::size_t>(size), '\0');
  stream.ReadBuffer(bytes.data(), size);
  return bytes;
}

[[noreturn]] void RaiseCreateError(const Text& path, DWORD code)
{
  throw EFCreateError(Format(u"Cannot create file \"%s\". %s", {path, SysErrorMessage(code)}));
}

// The temporary file of one save, removed again unless it has replaced the target.
class TemporaryFile {
public:
  explicit TemporaryFile(const Text& target)
  {
    std::wstring name(MAX_PATH + 1, L'\0');
    if (!GetTempFileNameW(WidePtr(FolderOf(target)), L"fbu", 0, name.data())) RaiseCreateError(target, GetLastError());
    path_ = FullPath(FromWide(name.c_str()));
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

void WriteAndFlush(const Text& temporary, const Text& target, const ConfigText& content)
{
  const UniqueFileHandle file(
      CreateFileW(WidePtr(temporary), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) RaiseCreateError(target, GetLastError());
  content.Save([&](std::string_view piece) {
    while (!piece.empty()) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(piece.size(), 1u << 30));
      DWORD written = 0;
      if (!WriteFile(file.get(), piece.data(), chunk, &written, nullptr) || written == 0)
        RaiseCreateError(target, GetLastError());
      piece.remove_prefix(written);
    }
  });
  if (!FlushFileBuffers(file.get())) RaiseCreateError(target, GetLastError());
}

// Puts content in place of the file in one step: the new bytes go to a temporary file
// beside it, which then replaces the original, keeping the original's security
// descriptor and attributes. On any failure the original stays as it was.
void SaveReplacing(const Text& target, const ConfigText& content)
{
  // Whoever may not write the file itself (read-only attribute, access rights, another
  // process holding it) is refused here, as creating the file anew would be.
  {
    const UniqueFileHandle check(CreateFileW(WidePtr(target), GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!check) RaiseCreateError(target, GetLastError());
  }
  const DWORD attributes = GetFileAttributesW(WidePtr(target));
  TemporaryFile temporary(target);
  WriteAndFlush(temporary.Path(), target, content);
  if (!ReplaceFileW(WidePtr(target), WidePtr(temporary.Path()), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                    nullptr))
    RaiseCreateError(target, GetLastError());
  temporary.Consumed();
  // Some ReplaceFileW implementations drop the hidden and system attributes.
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    const DWORD now = GetFileAttributesW(WidePtr(target));
    if (now != INVALID_FILE_ATTRIBUTES && (now & kKept) != (attributes & kKept))
      SetFileAttributesW(WidePtr(target), (now & ~kKept) | (attributes & kKept));
  }
}

} // namespace

bool FindFirebirdConfigFiles(TStringList* list)
{
  if (!list) return false;
  Text programFiles = EnvironmentValue(L"ProgramFiles(86)");
  if (programFiles.empty()) programFiles = EnvironmentValue(L"ProgramFiles");
  list->Clear();
  const Text firebird = programFiles + u"\\Firebird";
  if (!ListFolderEntries(firebird, list)) return false;
  for (int i = 0; i < list->Count(); ++i) list->Put(i, firebird + u"\\" + (*list)[i] + u"\\firebird.conf");
  return true;
}

bool SetConfigFileValue(const Text& fileName, const Text& key, const Text& value)
{
  if (!FileExists(fileName)) return false;
  // ReplaceFileW wants absolute paths, and the error texts show the full path.
  const Text path = FullPath(fileName);
  ConfigText content(ReadWholeFile(path), SystemAnsiCodePage());
  if (ReplaceKeyLine(content, key, value)) SaveReplacing(path, content);
  return true;
}

} // namespace fbu
