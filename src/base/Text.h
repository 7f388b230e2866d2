#pragma once
// The system's text: UTF-16 code units with value semantics. An absent text and the
// empty text are the same value; lengths count code units.

#include <cstdint>
#include <string>
#include <string_view>

namespace fbu {

using Text = std::u16string;
using TextView = std::u16string_view;

// UTF-8 <-> UTF-16. Ill-formed input is replaced by U+FFFD; nothing throws.
Text FromUtf8(std::string_view utf8);
std::string ToUtf8(TextView text);

// Decimal text of an integer, as the system prints numbers ("-12", "0").
Text IntToText(std::int64_t value);

// Case-insensitive equality and search as the string list and the folder list use them:
// letters compare without regard to case (the host's upper-case mapping on Windows, a
// fixed simple mapping elsewhere); everything else compares as it is.
bool SameTextIgnoreCase(TextView a, TextView b);

// Folds only the letters a-z to A-Z, nothing else.
Text UpperAsciiOnly(TextView text);

// Removes leading and trailing characters up to U+0020 (blanks and control characters).
TextView TrimControl(TextView text);

#ifdef _WIN32
// The wide Win32 APIs take wchar_t, which is 16 bits on Windows: the same code units.
static_assert(sizeof(wchar_t) == sizeof(char16_t));
inline const wchar_t* WidePtr(const Text& text)
{
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline Text FromWide(const wchar_t* text)
{
  return text ? Text(reinterpret_cast<const char16_t*>(text)) : Text();
}
inline Text FromWide(const wchar_t* text, std::size_t length)
{
  return text ? Text(reinterpret_cast<const char16_t*>(text), length) : Text();
}
#endif

} // namespace fbu
