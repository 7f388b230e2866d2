#include <windows.h>

#include "base/WinHandles.h"
#include "dbclient/PEImage.h"

namespace fbu {

namespace {

// A file (not a folder) exists at the path; a symbolic link counts when its target does.
bool FileExistsFollowingLinks(const Text& path)
{
  const DWORD attributes = GetFileAttributesW(WidePtr(path));
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
  UniqueFileHandle target(CreateFileW(WidePtr(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  return static_cast<bool>(target);
}

} // namespace

bool IsX64Image(const Text& path)
{
  if (path.empty() || !FileExistsFollowingLinks(path)) return false;
  UniqueFileHandle file(CreateFileW(WidePtr(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD code = GetLastError();
    RaiseImageOpenError(code, code == ERROR_FILE_NOT_FOUND, path);
  }
  return IsX64ImageHeaders([&file](std::uint64_t offset, std::span<std::uint8_t> out) -> std::size_t {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD done = 0;
    // A read at or past the end fails with ERROR_HANDLE_EOF: no bytes.
    if (!ReadFile(file.get(), out.data(), static_cast<DWORD>(out.size()), &done, &at)) return 0;
    return done;
  });
}

} // namespace fbu
