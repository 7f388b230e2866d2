#pragma once
// The x64 test of the client-library loader: is the file at a path a 64-bit (x64)
// executable image? Only the headers are read: "MZ" at offset 0, a non-zero offset of
// the NT headers at 0x3C, there "PE\0\0" with the 248 bytes of 32-bit NT headers
// readable, and the machine field 4 bytes after the signature.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "base/Exceptions.h"

namespace fbu {

// "Unknown PE target", "This is not a PE format": an image that cannot be classified.
class EPEImageError : public Exception {
public:
  using Exception::Exception;
};

// Reads up to out.size() bytes at offset into out; returns the number of bytes read
// (fewer at the end of the file).
using ImageReader = std::function<std::size_t(std::uint64_t offset, std::span<std::uint8_t> out)>;

// true for machine 0x8664, false for 0x014C; EPEImageError "Unknown PE target" for any
// other machine and for headers that fail the checks above.
bool IsX64ImageHeaders(const ImageReader& read);
bool IsX64ImageHeaders(std::span<const std::uint8_t> image);

// The error for a file that exists but cannot be opened: "This is not a PE format" for
// code 0, "Cannot open file "<path>"" when the system reports the file as not found,
// the operating-system error otherwise.
[[noreturn]] void RaiseImageOpenError(std::uint32_t code, bool fileNotFound, const Text& path);

// The whole test on a file: false when nothing exists at the path (links followed) or
// the path is empty; otherwise the header test, raising as above.
bool IsX64Image(const Text& path);

} // namespace fbu
