#include "tools/StartupChecks.h"

#include <cstring>

#include "base/Exceptions.h"

namespace fbu {

namespace {

// Unit-level state of the converter version unit, in its order.
constexpr std::uint8_t kFillByte = 17;
std::uint8_t fillVariable[4] = {};
std::uint8_t fillCopy[4] = {};

// The fill unit's variable.
std::uint8_t fillUnitVariable[4] = {};

std::array<std::uint8_t, 4> BytesOf(const std::uint8_t (&bytes)[4]) noexcept
{
  return {bytes[0], bytes[1], bytes[2], bytes[3]};
}

} // namespace

bool IsKnownConverterVersion(float version) noexcept
{
  // Widening keeps every float exact, so this is equality of the 32-bit values.
  for (const float known : KnownConverterVersions)
    if (static_cast<long double>(version) == static_cast<long double>(known)) return true;
  return false;
}

std::array<std::uint8_t, 4> FillUnitVariable() noexcept
{
  return BytesOf(fillUnitVariable);
}

std::array<std::uint8_t, 4> ConverterFillVariable() noexcept
{
  return BytesOf(fillVariable);
}

std::array<std::uint8_t, 4> ConverterFillCopy() noexcept
{
  return BytesOf(fillCopy);
}

UnitSteps FillUnit()
{
  return UnitSteps{"FillUnit", {}, [] { std::memset(fillUnitVariable, 17, sizeof fillUnitVariable); }, {}};
}

UnitSteps ConverterVersionUnit(float converterVersion)
{
  return UnitSteps{
      "ConverterVersion",
      {},
      [converterVersion] {
        std::memset(fillVariable, kFillByte, sizeof fillVariable);
        std::memcpy(fillCopy, fillVariable, sizeof fillCopy);
        if (IsKnownConverterVersion(converterVersion)) return;
        throw Exception(Format(u"Not defined converter version: %1.3f",
                               {static_cast<double>(static_cast<long double>(converterVersion))}));
      },
      {},
  };
}

} // namespace fbu
