#pragma once
// Shared by the integer list fuzz targets: a list must come back equal through its text
// and through each binary form of its record.
#include <cstdint>
#include <vector>

#include "collections/PureQuarnClasses.h"

namespace fbu::fuzz {

inline void Require(bool condition)
{
  if (!condition) __builtin_trap();
}

inline void CheckRoundTrips(const TIntList& list)
{
  TIntList back;
  back.SetFromText(list.GetText(), u",");
  Require(back.EqualTo(list));

  std::vector<std::uint8_t> raw(4 + 4 * static_cast<std::size_t>(list.Count()));
  std::uint8_t* w = raw.data();
  list.SaveTo(w);
  Require(w == raw.data() + raw.size());
  const std::uint8_t* r = raw.data();
  back.Clear();
  back.LoadFrom(r);
  Require(r == raw.data() + raw.size() && back.EqualTo(list));

  TMemoryStream stream;
  list.SaveToStream(stream);
  Require(stream.Bytes() == raw);
  stream.SetPosition(0);
  back.Clear();
  Require(back.LoadFromStream(stream) && back.EqualTo(list));

  OleVariant ole;
  list.SaveToVariant(ole);
  list.SaveToVariant(ole);
  const int first = back.LoadFromVariant(ole, 0);
  Require(first == static_cast<int>(raw.size()) && back.EqualTo(list));
  back.Clear();
  Require(back.LoadFromVariant(ole, first) == first && back.EqualTo(list));
  Require(ole.HighBound() == 2 * first && ole.LockCount() == 0);
}

} // namespace fbu::fuzz
