#pragma once
// The general tools unit: tolerant integer parsing, the length-prefixed text record on
// byte streams, and the folder listing.

#include <cstdint>

#include "base/Stream.h"
#include "base/StringList.h"
#include "base/Text.h"

namespace fbu {

// Trims characters up to U+0020 at both ends, then parses the integer syntax. The
// output is written in every case; meaningful only when the result is true.
bool TryTrimStrToInt(TextView text, std::int32_t& value) noexcept;

// Writes one record: signed 32-bit little-endian byte count (2 x code units), then the
// code units little-endian. Raises EWriteError when the stream takes no more bytes.
void WriteStringToStream(TextView text, TStream& stream);

// Reads one record at the stream's position. Sets text empty first; false (text empty)
// when no stream is given or the stream holds less than the record claims.
bool ReadStringFromStream(Text& text, TStream* stream);

// Fills list with the names of the folder's entries that are neither hidden nor system,
// in enumeration order, without "." and "..". False when no list is given or the
// folder does not exist (the list is then empty). A folder that is there but cannot be
// listed (access denied, a listing that fails part way) raises EFOpenError naming it.
// Windows only.
bool ListFolderEntries(const Text& folder, TStringList* list);

// True for the system errors that say a path is not there (file, path, drive or network
// name not found, not ready, an invalid name, a file where a folder was expected). Any
// other failure to reach a path is an error, not an absence. Windows only.
bool IsNotFoundError(std::uint32_t code);

} // namespace fbu
