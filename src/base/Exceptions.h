#pragma once
// The system's errors. Every error carries its message as text; what() gives it as UTF-8.

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <variant>

#include "base/Text.h"

namespace fbu {

// One argument of Format: an integer (%d, %u, %x), a text (%s) or a real (%f).
using FormatArg = std::variant<std::int64_t, Text, double>;

// printf-like formatting of the system's message templates. Supports %d, %u, %x, %s,
// %f with optional width and precision ("%1.3f"), and %%. A missing argument or a
// mismatched kind prints nothing for that placeholder rather than failing.
Text Format(TextView format, std::initializer_list<FormatArg> args);

class Exception : public std::exception {
public:
  explicit Exception(Text message);
  const Text& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return utf8_.c_str(); }

private:
  Text message_;
  std::string utf8_;
};

class EListError : public Exception {
public:
  using Exception::Exception;
};

class EStreamError : public Exception {
public:
  using Exception::Exception;
};

class EReadError : public EStreamError {
public:
  EReadError() : EStreamError(u"Stream read error") {}
  using EStreamError::EStreamError;
};

class EWriteError : public EStreamError {
public:
  EWriteError() : EStreamError(u"Stream write error") {}
  using EStreamError::EStreamError;
};

// "Cannot open file "%s". %s"
class EFOpenError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

// "Cannot create file "%s". %s"
class EFCreateError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

// An operating-system failure with its error code.
class EOSError : public Exception {
public:
  EOSError(Text message, std::uint32_t errorCode) : Exception(std::move(message)), ErrorCode(errorCode) {}
  std::uint32_t ErrorCode;
};

// The database layer's client error.
class EIBClientError : public Exception {
public:
  EIBClientError(int sqlCode, Text message) : Exception(std::move(message)), SQLCode(sqlCode) {}
  int SQLCode;
};

// A checked conversion of an object to a class it does not have.
class EInvalidCast : public Exception {
public:
  EInvalidCast() : Exception(u"Invalid class typecast") {}
};

// The message of any error: an Exception's text, else what() read as UTF-8.
Text ExceptionText(const std::exception& error);

// EFOpenError "Cannot open file "%s". %s" and EFCreateError "Cannot create file "%s". %s"
// for path and the system's message for code.
[[noreturn]] void RaiseFileOpenError(const Text& path, std::uint32_t code);
[[noreturn]] void RaiseFileCreateError(const Text& path, std::uint32_t code);

// The system's message text for an OS error code, trailing blanks, line breaks and
// full stops removed ("Access is denied").
Text SysErrorMessage(std::uint32_t code);

// EOSError for the code: "System Error.  Code: %d.\r\n%s" with the system's text, or
// "A call to an OS function failed" for code 0.
[[noreturn]] void RaiseOSError(std::uint32_t code);

} // namespace fbu
