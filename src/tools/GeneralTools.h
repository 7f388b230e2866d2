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
// folder does not exist (the list is then empty). Windows only.
bool ListFolderEntries(const Text& folder, TStringList* list);

} // namespace fbu
