// The start-up check units: the fill variables and the exact converter version check.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <string>

#include "base/Exceptions.h"
#include "tools/StartupChecks.h"

namespace fbu {
namespace {

TEST(StartupChecks, StepsFillWith17AndPassOnlyKnownVersions)
{
  const std::uint32_t bits[] = {0x3FB9999A, 0x3FBAE148, 0x3FBC28F6, 0x3FBD70A4, 0x3FBEB852, 0x3FC00000};
  for (std::size_t i = 0; i < KnownConverterVersions.size(); ++i)
    EXPECT_EQ(std::bit_cast<std::uint32_t>(KnownConverterVersions[i]), bits[i]) << i;
  const std::array<std::uint8_t, 4> zero{}, filled{17, 17, 17, 17};
  EXPECT_TRUE(FillUnitVariable() == zero && ConverterFillVariable() == zero && ConverterFillCopy() == zero);
  FillUnit().startup();
  // The next float above 1.45 is not 1.45: the check is exact.
  for (const auto& [version, outcome] : {std::pair{ConverterVersion, "passed"},
                                         {1.45F, "passed"},
                                         {1.44F, "Not defined converter version: 1.440"},
                                         {1.51F, "Not defined converter version: 1.510"},
                                         {std::nextafter(1.45F, 2.0F), "Not defined converter version: 1.450"}}) {
    std::string message = "passed";
    try {
      ConverterVersionUnit(version).startup();
    } catch (const Exception& e) {
      message = e.what();
    }
    EXPECT_EQ(message, outcome) << version;
    EXPECT_EQ(IsKnownConverterVersion(version), message == "passed");
  }
  EXPECT_TRUE(FillUnitVariable() == filled && ConverterFillVariable() == filled && ConverterFillCopy() == filled);
}

} // namespace
} // namespace fbu
