#pragma once
// The two start-up check units: they do their work only in their start-up steps.
//
// The fill unit sets each byte of its 4-byte variable to 17.
//
// The converter version unit sets each byte of its fill variable to its fill byte (17),
// copies the variable, and then lets the program start only when the converter version
// this build is configured for is one of KnownConverterVersions; otherwise it raises
// Exception "Not defined converter version: %1.3f", which ends the start-up before the
// dialog exists. The versions are 32-bit floats and compare exactly: 1.45 passes
// because both sides are the same float, not because they are near the decimal 1.45.

#include <array>
#include <cstdint>

#include "base/Startup.h"

namespace fbu {

// The converter version this build is configured for.
inline constexpr float ConverterVersion = 1.5F;
// The versions accepted, in the order they are tested.
inline constexpr std::array<float, 6> KnownConverterVersions{1.45F, 1.46F, 1.47F, 1.48F, 1.49F, 1.5F};

// True when version equals one of KnownConverterVersions exactly.
bool IsKnownConverterVersion(float version) noexcept;

// Its variable: zero before start-up, 17 in each byte after.
std::array<std::uint8_t, 4> FillUnitVariable() noexcept;
// The converter version unit's fill variable and its copy.
std::array<std::uint8_t, 4> ConverterFillVariable() noexcept;
std::array<std::uint8_t, 4> ConverterFillCopy() noexcept;

// Start-up steps; neither unit has shutdown work.
UnitSteps FillUnit();
// The check uses converterVersion, ConverterVersion unless a test build says otherwise.
UnitSteps ConverterVersionUnit(float converterVersion = ConverterVersion);

} // namespace fbu
