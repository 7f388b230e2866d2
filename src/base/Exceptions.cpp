#include "base/Exceptions.h"

#include <cstdio>

namespace fbu {

Exception::Exception(Text message) : message_(std::move(message)), utf8_(ToUtf8(message_)) {}

Text ExceptionText(const std::exception& error)
{
  if (const auto* own = dynamic_cast<const Exception*>(&error)) return own->Message();
  return FromUtf8(error.what());
}

void RaiseFileOpenError(const Text& path, std::uint32_t code)
{
  throw EFOpenError(Format(u"Cannot open file \"%s\". %s", {path, SysErrorMessage(code)}));
}

void RaiseFileCreateError(const Text& path, std::uint32_t code)
{
  throw EFCreateError(Format(u"Cannot create file \"%s\". %s", {path, SysErrorMessage(code)}));
}

namespace {

Text Ascii(const char* s)
{
  Text out;
  while (*s) out.push_back(static_cast<unsigned char>(*s++));
  return out;
}

} // namespace

Text Format(TextView format, std::initializer_list<FormatArg> args)
{
  Text out;
  auto next = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char16_t c = format[i];
    if (c != u'%' || i + 1 >= format.size()) {
      out.push_back(c);
      continue;
    }
    if (format[i + 1] == u'%') {
      out.push_back(u'%');
      ++i;
      continue;
    }
    // %[width][.precision]conversion
    std::size_t j = i + 1;
    int width = 0;
    int precision = -1;
    while (j < format.size() && format[j] >= u'0' && format[j] <= u'9') width = width * 10 + (format[j++] - u'0');
    if (j < format.size() && format[j] == u'.') {
      precision = 0;
      ++j;
      while (j < format.size() && format[j] >= u'0' && format[j] <= u'9')
        precision = precision * 10 + (format[j++] - u'0');
    }
    if (j >= format.size()) {
      out.append(format.substr(i));
      break;
    }
    const char16_t conv = format[j];
    const FormatArg* arg = next != args.end() ? &*next++ : nullptr;
    char buf[64] = {};
    Text piece;
    switch (conv) {
    case u'd':
      if (arg && std::holds_alternative<std::int64_t>(*arg)) piece = IntToText(std::get<std::int64_t>(*arg));
      break;
    case u'u':
      if (arg && std::holds_alternative<std::int64_t>(*arg)) {
        std::snprintf(buf, sizeof buf, "%llu",
                      static_cast<unsigned long long>(static_cast<std::uint32_t>(std::get<std::int64_t>(*arg))));
        piece = Ascii(buf);
      }
      break;
    case u'x':
      if (arg && std::holds_alternative<std::int64_t>(*arg)) {
        std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(std::get<std::int64_t>(*arg)));
        piece = Ascii(buf);
      }
      break;
    case u's':
      if (arg && std::holds_alternative<Text>(*arg)) piece = std::get<Text>(*arg);
      break;
    case u'f':
      if (arg && std::holds_alternative<double>(*arg)) {
        std::snprintf(buf, sizeof buf, "%.*f", precision < 0 ? 2 : precision, std::get<double>(*arg));
        piece = Ascii(buf);
      }
      break;
    default: piece = Text(format.substr(i, j - i + 1)); break;
    }
    if (static_cast<int>(piece.size()) < width) out.append(width - piece.size(), u' ');
    out += piece;
    i = j;
  }
  return out;
}

void RaiseOSError(std::uint32_t code)
{
  if (code == 0) throw EOSError(u"A call to an OS function failed", 0);
  // The message has three parts: the code, the system's text for it, and room for extra
  // detail after that text, which this error has none of.
  const Text noDetail;
  throw EOSError(
      Format(u"System Error.  Code: %d.\r\n%s%s", {static_cast<std::int64_t>(code), SysErrorMessage(code), noDetail}),
      code);
}

} // namespace fbu
