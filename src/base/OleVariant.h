#pragma once
// OleVariant: the part of an OLE automation variant that the integer list's record
// form uses, a one-dimensional array of unsigned bytes (variant type VT_ARRAY | VT_UI1,
// element type 17).
//
// In the Windows builds it owns a real VARIANT and calls oleaut32 (SafeArrayCreate,
// SafeArrayRedim, SafeArrayAccessData / SafeArrayUnaccessData, VariantCopy,
// VariantClear), so a caller can hand the VARIANT to any automation code. Elsewhere a
// small stand-in keeps the same observable state: unassigned, Null or a byte array with
// its bounds, its bytes and its lock count, with the same refusals (a locked array
// cannot be resized).
//
// Copies are deep, as VariantCopy copies an array. Failures of the variant layer raise
// EVariantError.

#include <cstdint>
#include <memory>

#include "base/Exceptions.h"

#ifdef _WIN32
#include <oaidl.h>
#endif

namespace fbu {

class EVariantError : public Exception {
public:
  using Exception::Exception;
};

class OleVariant {
public:
  // Unassigned (VT_EMPTY).
  OleVariant() noexcept;
  ~OleVariant();
  OleVariant(const OleVariant& other);
  OleVariant& operator=(const OleVariant& other);
  OleVariant(OleVariant&& other) noexcept;
  OleVariant& operator=(OleVariant&& other) noexcept;

  static OleVariant Null();

  bool IsEmpty() const noexcept;
  bool IsNull() const noexcept;
  // A one-dimensional array of unsigned bytes.
  bool IsByteArray() const noexcept;
  // Back to unassigned, releasing what it held.
  void Clear() noexcept;

  // Replaces the content by a new zero-filled byte array with the bounds low..high.
  void CreateByteArray(std::int32_t low, std::int32_t high);
  // Bounds of the byte array; EVariantError when the variant holds none.
  std::int32_t LowBound() const;
  std::int32_t HighBound() const;
  // Moves the upper bound, keeping the lower one and the bytes that stay in range; new
  // bytes are zero. Refused while the array is locked.
  void RedimByteArray(std::int32_t high);
  // Outstanding locks of the byte array (0 when the variant holds none).
  int LockCount() const noexcept;

#ifdef _WIN32
  VARIANT& Raw() noexcept
  {
    return v_;
  }
  const VARIANT& Raw() const noexcept
  {
    return v_;
  }
#endif

private:
  friend class ByteArrayLock;
#ifdef _WIN32
  VARIANT v_;
#else
  struct Array;
  enum class Kind { empty, null, bytes };
  Kind kind_ = Kind::empty;
  std::unique_ptr<Array> array_;
#endif
};

// Locks the data of a variant's byte array for direct access and unlocks it when it
// goes, on every path. EVariantError when the variant holds no byte array or the lock
// fails.
class ByteArrayLock {
public:
  explicit ByteArrayLock(const OleVariant& variant);
  ~ByteArrayLock();
  ByteArrayLock(const ByteArrayLock&) = delete;
  ByteArrayLock& operator=(const ByteArrayLock&) = delete;

  // The element at the lower bound, and the number of elements.
  std::uint8_t* Data() const noexcept { return data_; }
  std::int64_t Size() const noexcept { return size_; }

private:
  const OleVariant& variant_;
  std::uint8_t* data_ = nullptr;
  std::int64_t size_ = 0;
};

} // namespace fbu
