#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "dbclient/PEImage.h"

namespace fbu {

namespace {

// The loader's paths are in Windows form.
std::string NativePath(const Text& path)
{
  std::string native = ToUtf8(path);
  for (char& c : native)
    if (c == '\\') c = '/';
  return native;
}

class PosixFile {
public:
  explicit PosixFile(int fd) noexcept : fd_(fd) {}
  ~PosixFile()
  {
    if (fd_ >= 0) ::close(fd_);
  }
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;
  int get() const noexcept { return fd_; }

private:
  int fd_;
};

} // namespace

bool IsX64Image(const Text& path)
{
  if (path.empty()) return false;
  const std::string native = NativePath(path);
  struct stat info {};
  if (::stat(native.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  PosixFile file(::open(native.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) {
    const int code = errno;
    RaiseImageOpenError(static_cast<std::uint32_t>(code), code == ENOENT, path);
  }
  return IsX64ImageHeaders([&file](std::uint64_t offset, std::span<std::uint8_t> out) -> std::size_t {
    std::size_t total = 0;
    while (total < out.size()) {
      const ssize_t n = ::pread(file.get(), out.data() + total, out.size() - total, static_cast<off_t>(offset + total));
      if (n <= 0) break;
      total += static_cast<std::size_t>(n);
    }
    return total;
  });
}

} // namespace fbu
