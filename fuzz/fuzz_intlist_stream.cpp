// TIntList::LoadFromStream over arbitrary bytes: it reads records back to back until one
// is missing or refused, never past the stream, and each record it accepts writes back
// to the same bytes and survives every other form.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "IntListFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  using namespace fbu;
  TMemoryStream in;
  in.WriteBuffer(data, static_cast<std::int64_t>(size));
  in.SetPosition(0);
  TIntList list;
  for (;;) {
    const std::int64_t start = in.Position();
    try {
      if (!list.LoadFromStream(in)) break;
    } catch (const Exception&) {
      break; // a negative count or one beyond the bytes left
    }
    TMemoryStream out;
    list.SaveToStream(out);
    fuzz::Require(out.Size() == in.Position() - start);
    fuzz::Require(std::memcmp(out.Bytes().data(), data + start, out.Bytes().size()) == 0);
    fuzz::CheckRoundTrips(list);
  }
  return 0;
}
