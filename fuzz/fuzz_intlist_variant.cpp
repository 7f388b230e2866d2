// TIntList::LoadFromVariant over a byte array of arbitrary content: a reader walking its
// records from offset 0 never reads outside the array, leaves it unlocked, and each
// record it accepts is the bytes SaveTo writes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "IntListFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  using namespace fbu;
  OleVariant ole;
  ole.CreateByteArray(0, static_cast<std::int32_t>(size) - 1);
  if (size > 0) std::memcpy(ByteArrayLock(ole).Data(), data, size);
  TIntList list;
  int offset = 0;
  for (;;) {
    int used = 0;
    try {
      used = list.LoadFromVariant(ole, offset);
    } catch (const EListError&) {
      break;
    }
    fuzz::Require(ole.LockCount() == 0 && used >= 4 && offset + static_cast<std::size_t>(used) <= size);
    std::vector<std::uint8_t> raw(static_cast<std::size_t>(used));
    std::uint8_t* w = raw.data();
    list.SaveTo(w);
    fuzz::Require(std::memcmp(raw.data(), data + offset, raw.size()) == 0);
    fuzz::CheckRoundTrips(list);
    offset += used;
  }
  fuzz::Require(ole.LockCount() == 0);
  return 0;
}
