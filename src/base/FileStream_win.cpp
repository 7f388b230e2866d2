#include <windows.h>

#include "base/Stream.h"
#include "base/WinHandles.h"

namespace fbu {

struct TFileStream::Impl {
  UniqueFileHandle handle;
};

namespace {

DWORD AccessFor(std::uint16_t mode)
{
  switch (mode & 3) {
  case fmOpenWrite: return GENERIC_WRITE;
  case fmOpenReadWrite: return GENERIC_READ | GENERIC_WRITE;
  default: return GENERIC_READ;
  }
}

DWORD ShareFor(std::uint16_t mode)
{
  switch (mode & 0xF0) {
  case fmShareExclusive: return 0;
  case fmShareDenyWrite: return FILE_SHARE_READ;
  case fmShareDenyRead: return FILE_SHARE_WRITE;
  default: return FILE_SHARE_READ | FILE_SHARE_WRITE;
  }
}

} // namespace

TFileStream::TFileStream(const Text& fileName, std::uint16_t mode)
    : impl_(std::make_unique<Impl>()), fileName_(fileName)
{
  if (mode == fmCreate) {
    impl_->handle.reset(CreateFileW(WidePtr(fileName), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!impl_->handle) RaiseFileCreateError(fileName, GetLastError());
  } else {
    impl_->handle.reset(CreateFileW(WidePtr(fileName), AccessFor(mode), ShareFor(mode), nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!impl_->handle) RaiseFileOpenError(fileName, GetLastError());
  }
}

TFileStream::~TFileStream() = default;

std::int64_t TFileStream::Read(void* buffer, std::int64_t count)
{
  std::int64_t total = 0;
  auto* out = static_cast<char*>(buffer);
  while (count > 0) {
    DWORD done = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::int64_t>(count, 1 << 30));
    if (!ReadFile(impl_->handle.get(), out + total, chunk, &done, nullptr) || done == 0) break;
    total += done;
    count -= done;
  }
  return total;
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count)
{
  std::int64_t total = 0;
  const auto* in = static_cast<const char*>(buffer);
  while (count > 0) {
    DWORD done = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::int64_t>(count, 1 << 30));
    if (!WriteFile(impl_->handle.get(), in + total, chunk, &done, nullptr) || done == 0) break;
    total += done;
    count -= done;
  }
  return total;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin)
{
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER result{};
  const DWORD method = origin == TSeekOrigin::soBeginning ? FILE_BEGIN
                       : origin == TSeekOrigin::soCurrent ? FILE_CURRENT
                                                          : FILE_END;
  if (!SetFilePointerEx(impl_->handle.get(), distance, &result, method)) return -1;
  return result.QuadPart;
}

void TFileStream::SetSize(std::int64_t newSize)
{
  const std::int64_t position = Position();
  SetPosition(newSize);
  if (!SetEndOfFile(impl_->handle.get())) RaiseOSError(GetLastError());
  if (position < newSize) SetPosition(position);
}

void TFileStream::Flush()
{
  if (!FlushFileBuffers(impl_->handle.get())) RaiseOSError(GetLastError());
}

} // namespace fbu
