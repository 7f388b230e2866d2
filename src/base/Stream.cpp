#include "base/Stream.h"

#include <algorithm>
#include <cstring>

namespace fbu {

std::int64_t TStream::Size()
{
  const std::int64_t position = Seek(0, TSeekOrigin::soCurrent);
  const std::int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(position, TSeekOrigin::soBeginning);
  return size;
}

void TStream::ReadBuffer(void* buffer, std::int64_t count)
{
  if (count != 0 && Read(buffer, count) != count) throw EReadError();
}

void TStream::WriteBuffer(const void* buffer, std::int64_t count)
{
  if (count != 0 && Write(buffer, count) != count) throw EWriteError();
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count)
{
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::int64_t>(count, 1 << 20)));
  std::int64_t left = count;
  while (left > 0) {
    const std::int64_t n = std::min<std::int64_t>(left, static_cast<std::int64_t>(buffer.size()));
    source.ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    left -= n;
  }
  return count;
}

namespace {

std::int64_t NewPosition(std::int64_t current, std::int64_t size, std::int64_t offset, TSeekOrigin origin)
{
  switch (origin) {
  case TSeekOrigin::soBeginning: return offset;
  case TSeekOrigin::soCurrent: return current + offset;
  case TSeekOrigin::soEnd: return size + offset;
  }
  return current;
}

// Bytes available at position in a block of size, never negative.
std::int64_t Available(std::int64_t position, std::int64_t size, std::int64_t count)
{
  if (count <= 0 || position < 0 || position >= size) return 0;
  return std::min(count, size - position);
}

} // namespace

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count)
{
  const std::int64_t n = Available(position_, Size(), count);
  if (n > 0) std::memcpy(buffer, data_.data() + position_, static_cast<std::size_t>(n));
  position_ += n;
  return n;
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count)
{
  if (count <= 0 || position_ < 0) return 0;
  const std::int64_t end = position_ + count;
  if (end > Size()) data_.resize(static_cast<std::size_t>(end));
  std::memcpy(data_.data() + position_, buffer, static_cast<std::size_t>(count));
  position_ = end;
  return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin)
{
  position_ = NewPosition(position_, Size(), offset, origin);
  return position_;
}

void TMemoryStream::SetSize(std::int64_t newSize)
{
  data_.resize(static_cast<std::size_t>(std::max<std::int64_t>(newSize, 0)));
  position_ = std::min(position_, Size());
}

std::int64_t TFixedMemoryStream::Read(void* buffer, std::int64_t count)
{
  const std::int64_t n = Available(position_, size_, count);
  if (n > 0) std::memcpy(buffer, memory_ + position_, static_cast<std::size_t>(n));
  position_ += n;
  return n;
}

std::int64_t TFixedMemoryStream::Write(const void* buffer, std::int64_t count)
{
  const std::int64_t n = Available(position_, size_, count);
  if (n > 0) std::memcpy(memory_ + position_, buffer, static_cast<std::size_t>(n));
  position_ += n;
  return n;
}

std::int64_t TFixedMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin)
{
  position_ = NewPosition(position_, size_, offset, origin);
  return position_;
}

} // namespace fbu
