#pragma once
// Byte streams with a 64-bit size and position. Read and Write move the position and
// return the number of bytes transferred; ReadBuffer and WriteBuffer demand the whole
// count and raise EReadError / EWriteError when short.

#include <cstdint>
#include <memory>
#include <vector>

#include "base/Exceptions.h"

namespace fbu {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
  virtual ~TStream() = default;

  virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
  virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
  virtual std::int64_t Size();
  virtual void SetSize(std::int64_t newSize) = 0;

  std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(std::int64_t position) { Seek(position, TSeekOrigin::soBeginning); }

  void ReadBuffer(void* buffer, std::int64_t count);
  void WriteBuffer(const void* buffer, std::int64_t count);
  // Copies count bytes (all that remain when count is 0) from source; returns the count.
  std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

// A growable stream in memory.
class TMemoryStream : public TStream {
public:
  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(data_.size()); }
  void SetSize(std::int64_t newSize) override;

  const std::vector<std::uint8_t>& Bytes() const noexcept { return data_; }
  std::vector<std::uint8_t>& Bytes() noexcept { return data_; }

private:
  std::vector<std::uint8_t> data_;
  std::int64_t position_ = 0;
};

// A stream over a fixed block of memory it does not own: writes past the end are short.
class TFixedMemoryStream : public TStream {
public:
  TFixedMemoryStream(void* memory, std::int64_t size) : memory_(static_cast<std::uint8_t*>(memory)), size_(size) {}
  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() override { return size_; }
  void SetSize(std::int64_t) override { throw EStreamError(u"Stream size is fixed"); }

private:
  std::uint8_t* memory_;
  std::int64_t size_;
  std::int64_t position_ = 0;
};

// File open modes: one access mode combined with one sharing mode, or fmCreate.
enum : std::uint16_t {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmShareExclusive = 0x0010,
  fmShareDenyWrite = 0x0020,
  fmShareDenyRead = 0x0030,
  fmShareDenyNone = 0x0040,
  fmCreate = 0xFF00, // create anew (truncate), read/write, exclusive
};

// A stream over an operating-system file. Opening failures raise EFOpenError
// "Cannot open file "%s". %s", creating failures EFCreateError "Cannot create file "%s". %s",
// with the path and the system's message.
class TFileStream : public TStream {
public:
  TFileStream(const Text& fileName, std::uint16_t mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  void SetSize(std::int64_t newSize) override;
  // Pushes written data to the storage device.
  void Flush();
  const Text& FileName() const noexcept { return fileName_; }

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  Text fileName_;
};

} // namespace fbu
