// The start-up check units: the fill variables and the exact converter version check.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <string>

#include "base/Exceptions.h"
#include "tools/StartupChecks.h"

namespace fbu {
namespace {

TEST(StartupChecks, KnownVersionsAreTheNearestFloats)
{
  const std::uint32_t bits[] = {0x3FB9999A, 0x3FBAE148, 0x3FBC28F6, 0x3FBD70A4, 0x3FBEB852, 0x3FC00000};
  for (std::size_t i = 0; i < KnownConverterVersions.size(); ++i)
    EXPECT_EQ(std::bit_cast<std::uint32_t>(KnownConverterVersions[i]), bits[i]) << i;
  EXPECT_EQ(std::bit_cast<std::uint32_t>(ConverterVersion), 0x3FC00000u);
}

TEST(StartupChecks, ConverterVersionStepPassesOnlyKnownVersions)
{
  struct Case {
    float version;
    const char* refusal; // nullptr: the step passes
  };
  const Case cases[] = {
      {1.5F, nullptr},
      {1.45F, nullptr},
      {1.44F, "Not defined converter version: 1.440"},
      {1.51F, "Not defined converter version: 1.510"},
      // Exact: the next float above 1.45 is not 1.45.
      {std::nextafter(1.45F, 2.0F), "Not defined converter version: 1.450"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsKnownConverterVersion(c.version), c.refusal == nullptr) << c.version;
    std::string message = "passed";
    try {
      ConverterVersionUnit(c.version).startup();
    } catch (const Exception& e) {
      message = e.what();
    }
    EXPECT_EQ(message, c.refusal ? c.refusal : "passed") << c.version;
  }
}

TEST(StartupChecks, StepsFillEveryByteWith17)
{
  const std::array<std::uint8_t, 4> filled{17, 17, 17, 17};
  FillUnit().startup();
  ConverterVersionUnit().startup();
  EXPECT_EQ(FillUnitVariable(), filled);
  EXPECT_EQ(ConverterFillVariable(), filled);
  EXPECT_EQ(ConverterFillCopy(), filled);
}

} // namespace
} // namespace fbu
