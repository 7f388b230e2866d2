// TIntList::SetFromText over arbitrary text and separators: no crash, sorted lists stay
// ordered under their policy, and what it reads survives every text and record form.
#include <cstddef>
#include <cstdint>

#include "IntListFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  using namespace fbu;
  if (size < 2) return 0;
  // Byte 0: the separator's length (0 to 3) and the list's mode; byte 1 on: the
  // separator, then the text, one character per byte.
  const std::size_t sepLength = data[0] & 3U;
  if (size < 1 + sepLength) return 0;
  const Text separator(data + 1, data + 1 + sepLength);
  const Text text(data + 1 + sepLength, data + size);
  TIntList list;
  const bool sorted = (data[0] & 4U) != 0;
  list.SetSorted(sorted);
  list.SetDuplicates((data[0] & 8U) ? dupIgnore : dupAccept);
  list.SetFromText(text, separator);
  for (int i = 1; sorted && i < list.Count(); ++i)
    fuzz::Require(list[i - 1] < list[i] || (list[i - 1] == list[i] && list.Duplicates() == dupAccept));
  fuzz::CheckRoundTrips(list);
  return 0;
}
