// TLSet.ReadFromStream over arbitrary bytes, record after record: a record that cannot be
// read leaves the set empty, one that can gives what FromString gives for its text, and
// whatever was read writes and reads back to an Equal set.
#include <cstddef>
#include <cstdint>

#include "collections/LargeSets.h"
#include "tools/GeneralTools.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  fbu::TMemoryStream in;
  in.WriteBuffer(data, static_cast<std::int64_t>(size));
  in.SetPosition(0);
  for (;;) {
    const std::int64_t start = in.Position();
    fbu::TLSet set;
    set.AddThis(7); // must be cleared by the read
    const bool read = set.ReadFromStream(&in);
    // The full invariant check costs O(extent); a set near the add bound takes 0.1 s of it.
    if (set.InternalItemsCount() <= 65536 && !set.CheckInvariants()) __builtin_trap();
    in.SetPosition(start);
    fbu::Text record;
    if (!fbu::ReadStringFromStream(record, &in)) {
      if (read || !set.Empty()) __builtin_trap();
      return 0;
    }
    fbu::TLSet viaText;
    if (viaText.FromString(record, u",") != read || !viaText.Equal(set)) __builtin_trap();
    fbu::TMemoryStream out;
    set.WriteToStream(out);
    out.SetPosition(0);
    fbu::TLSet again;
    if (!again.ReadFromStream(&out) || !again.Equal(set) || out.Position() != out.Size()) __builtin_trap();
  }
}
