// TLSet.FromString over arbitrary text (UTF-8 input; before the first line break, if any,
// the separator, else ","): the set stays sound, its text reads back to an Equal set, and
// where the one-at-a-time model is cheap enough the two agree.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "collections/LargeSets.h"
#include "native/largesets/LSetModel.h"

namespace {

// True when text printed with separator reads back item by item: the separator holds
// something other than digits and the range dash, so it cannot occur inside an item.
bool SeparatesItems(fbu::TextView separator)
{
  return std::any_of(separator.begin(), separator.end(),
                     [](char16_t c) { return c != u'-' && (c < u'0' || c > u'9'); });
}

void ExpectReadsBack(const fbu::TLSet& set, fbu::TextView separator)
{
  fbu::TLSet again;
  if (!again.FromString(set.ToLine(separator), separator) || !again.Equal(set)) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t newline = bytes.find('\n');
  const fbu::Text separator = newline == bytes.npos ? fbu::Text(u",") : fbu::FromUtf8(bytes.substr(0, newline));
  const fbu::Text text = fbu::FromUtf8(newline == bytes.npos ? bytes : bytes.substr(newline + 1));

  fbu::TLSet set;
  const bool parsed = set.FromString(text, separator);
  // The full invariant check costs O(extent); a set near the add bound takes 0.1 s of it.
  if (set.InternalItemsCount() <= 65536 && !set.CheckInvariants()) __builtin_trap();
  ExpectReadsBack(set, u",");
  if (SeparatesItems(separator)) ExpectReadsBack(set, separator);

  // The model adds each value of a range one at a time and searches its word list each
  // time: compare only where that stays small (every value it visits is a member).
  const std::int64_t top = set.Empty() ? 0 : set.Max();
  if ((text.size() + 1) * (top + 1) * (top / 32 + 1) <= 4'000'000) {
    fbu::model::ModelSet model;
    if (model.FromString(text, separator) != parsed || model.ToLine(u",") != set.ToLine(u",")) __builtin_trap();
  }
  return 0;
}
