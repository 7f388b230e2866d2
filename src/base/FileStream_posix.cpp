#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/Stream.h"

namespace fbu {

// POSIX has no sharing modes; the access part of the mode is honoured.
struct TFileStream::Impl {
  int fd = -1;
  ~Impl()
  {
    if (fd >= 0) ::close(fd);
  }
};

TFileStream::TFileStream(const Text& fileName, std::uint16_t mode)
    : impl_(std::make_unique<Impl>()), fileName_(fileName)
{
  const std::string path = ToUtf8(fileName);
  if (mode == fmCreate) {
    impl_->fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (impl_->fd < 0) RaiseFileCreateError(fileName, static_cast<std::uint32_t>(errno));
  } else {
    const int access = (mode & 3) == fmOpenWrite ? O_WRONLY : (mode & 3) == fmOpenReadWrite ? O_RDWR : O_RDONLY;
    impl_->fd = ::open(path.c_str(), access | O_CLOEXEC);
    if (impl_->fd < 0) RaiseFileOpenError(fileName, static_cast<std::uint32_t>(errno));
  }
}

TFileStream::~TFileStream() = default;

std::int64_t TFileStream::Read(void* buffer, std::int64_t count)
{
  std::int64_t total = 0;
  while (count > 0) {
    const ssize_t n = ::read(impl_->fd, static_cast<char*>(buffer) + total, static_cast<size_t>(count));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    total += n;
    count -= n;
  }
  return total;
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count)
{
  std::int64_t total = 0;
  while (count > 0) {
    const ssize_t n = ::write(impl_->fd, static_cast<const char*>(buffer) + total, static_cast<size_t>(count));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    total += n;
    count -= n;
  }
  return total;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin)
{
  const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                     : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                        : SEEK_END;
  return ::lseek(impl_->fd, offset, whence);
}

void TFileStream::SetSize(std::int64_t newSize)
{
  if (::ftruncate(impl_->fd, newSize) != 0) RaiseOSError(static_cast<std::uint32_t>(errno));
  if (Position() > newSize) SetPosition(newSize);
}

void TFileStream::Flush()
{
  if (::fsync(impl_->fd) != 0) RaiseOSError(static_cast<std::uint32_t>(errno));
}

} // namespace fbu
