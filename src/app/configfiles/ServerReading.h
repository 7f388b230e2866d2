#pragma once
// How the database server itself reads firebird.conf, as measured on the real engine. The
// update uses it to tell whether a file it rewrites really sets what the server will use,
// and to report what the server uses today.
//
// The server reads bytes. Lines end at LF; blanks are space, tab and CR, so CR LF ends a
// line too while a lone CR does not. A UTF-8 byte-order mark is not skipped: it sticks to
// the first line's key. A '#' outside double quotes starts a comment; a line without '='
// is ignored; blanks around the key and the value do not count and the key matches in any
// case; a NUL ends the key or the value it stands in. The first setting of a key wins. The
// whole file is refused when a line starts with NUL (so a UTF-16 file is), has '=' with no
// key before it or a quote in its key, or has a value that opens a double quote and does
// not close it at its end.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fbu {

struct ServerSetting {
  enum class Kind { Unreadable, NotSet, Set };
  Kind kind = Kind::NotSet;
  std::string value; // the value's bytes up to a NUL, quotes kept (Set only)

  friend bool operator==(const ServerSetting&, const ServerSetting&) = default;
};

// The setting of key that the server reads from a file holding these bytes.
ServerSetting ServerReadsSetting(std::string_view fileBytes, std::string_view key);

// With no setting at all, a SuperServer attachment gets this many pages; a Classic or
// SuperClassic server, where every attachment has a cache of its own, gives it fewer.
inline constexpr std::int32_t kServerDefaultCachePages = 2048;
inline constexpr std::int32_t kSharedModeDefaultCachePages = 256;
// Fewer pages than this are never used.
inline constexpr std::int32_t kServerFewestCachePages = 50;

// The pages the server uses without a setting, by the ServerMode the file sets (read by
// the same rules as any setting, any case, quotes allowed): 256 for SuperClassic,
// ThreadedShared, Classic and MultiProcess; 2048 for Super, ThreadedDedicated, no
// setting, an unknown mode or a file the server refuses.
std::int32_t ServerDefaultCachePages(std::string_view fileBytes);

// The cache pages the server uses for a setting's value: within double quotes or not, an
// optional '-', decimal digits and an optional k, m or g (times 1024 each), kept in 32
// bits; any other form reads as 0. A negative count means the default (defaultPages);
// fewer than the fewest pages give the fewest.
std::int32_t ServerCachePages(std::string_view value, std::int32_t defaultPages = kServerDefaultCachePages);

// A database whose entry in databases.conf sets its own cache pages, which win over
// firebird.conf for that database.
struct DatabaseCacheOverride {
  std::string alias; // the entry's name, as written
  std::string value; // the setting's value, as the server reads it
  friend bool operator==(const DatabaseCacheOverride&, const DatabaseCacheOverride&) = default;
};

// The entries of a databases.conf that set key inside their braces: "alias = path" then
// a block "{ ... }" (the opening brace at the end of the entry's line or on a line of its
// own) holding "key = value" lines. Lines, blanks, comments and NULs as the server reads
// them; the first setting in a block counts. A block without an entry before it, or one
// never closed, gives nothing.
std::vector<DatabaseCacheOverride> DatabaseCacheOverrides(std::string_view fileBytes, std::string_view key);

} // namespace fbu
