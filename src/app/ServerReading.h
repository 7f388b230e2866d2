#pragma once
// How the database server itself reads firebird.conf, as measured on the real engine. The
// update uses it to tell whether a file it rewrites really sets what the server will use,
// and to report what the server uses today.
//
// The server reads bytes: lines end at LF (a CR before it is dropped, a lone CR is part of
// the line); a UTF-8 byte-order mark is not skipped, so it sticks to the first line; a
// UTF-16 file is refused whole, and so is a file with a line that starts with NUL; a NUL
// inside a line ends what is read of that line. '#' starts a comment anywhere; a line
// without '=' is ignored; blanks and tabs around the key and the value are ignored and the
// key matches in any case. The first setting of a key wins.

#include <cstdint>
#include <string>
#include <string_view>

namespace fbu {

struct ServerSetting {
  enum class Kind { Unreadable, NotSet, Set };
  Kind kind = Kind::NotSet;
  std::string value; // the value's bytes as the server takes them (Set only)

  friend bool operator==(const ServerSetting&, const ServerSetting&) = default;
};

// The setting of key that the server reads from a file holding these bytes.
ServerSetting ServerReadsSetting(std::string_view fileBytes, std::string_view key);

// The number the server makes of a value: decimal digits, optionally followed by k, m or g
// (times 1024 each); any other form reads as 0. Saturates instead of wrapping.
std::uint64_t ServerNumber(std::string_view value);

// The cache pages a database gets from a setting's value: never fewer than 50.
inline constexpr std::uint64_t kServerMinimumCachePages = 50;
// With no setting at all, a SuperServer attachment gets this many.
inline constexpr std::uint64_t kServerDefaultCachePages = 2048;

} // namespace fbu
