#pragma once
// The system's signed 32-bit integer text syntax:
//   optional blanks (U+0020 only), optional "+" or "-", then either decimal digits
//   (value within -2147483648..2147483647, leading zeros allowed) or one of the prefixes
//   "$", "x", "X", "0x", "0X" and one to eight significant hexadecimal digits (values
//   from 80000000 wrap to the negatives of the same 32 bits; a minus negates, modulo 2^32).
// Nothing may follow; an empty text, a lone sign or a lone prefix fails. No trimming
// beyond the leading blanks: callers that trim do so themselves.

#include <cstdint>

#include "base/Text.h"

namespace fbu {

// True when text is an integer; value then holds it. On failure value holds whatever
// the parse had accumulated (0 when nothing).
bool TryParseInt32(TextView text, std::int32_t& value) noexcept;

} // namespace fbu
