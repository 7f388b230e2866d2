#include "base/IntSyntax.h"

namespace fbu {

namespace {

int HexDigit(char16_t c) noexcept
{
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

} // namespace

bool TryParseInt32(TextView text, std::int32_t& value) noexcept
{
  value = 0;
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && text[i] == u' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';

  bool hex = false;
  if (i < n && text[i] == u'$') {
    hex = true;
    ++i;
  } else if (i < n && (text[i] == u'x' || text[i] == u'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
    hex = true;
    i += 2;
  }
  if (i >= n) return false; // empty, lone sign or lone prefix

  if (hex) {
    std::uint32_t acc = 0;
    int significant = 0;
    for (; i < n; ++i) {
      const int d = HexDigit(text[i]);
      if (d < 0) return false;
      if (acc != 0 || d != 0) ++significant;
      if (significant > 8) return false;
      acc = (acc << 4) | static_cast<std::uint32_t>(d);
      value = static_cast<std::int32_t>(negative ? 0u - acc : acc);
    }
    return true;
  }

  // Decimal: accumulate as a negative number so that -2147483648 fits.
  std::int64_t acc = 0;
  for (; i < n; ++i) {
    const char16_t c = text[i];
    if (c < u'0' || c > u'9') return false;
    acc = acc * 10 + (c - u'0');
    if (acc > 2147483648LL) return false;
    value = static_cast<std::int32_t>(negative ? -acc : (acc > 2147483647LL ? 0 : acc));
  }
  if (!negative && acc > 2147483647LL) return false;
  value = static_cast<std::int32_t>(negative ? -acc : acc);
  return true;
}

} // namespace fbu
