// Runtime versions: four unsigned 32-bit components (major, minor, build, patch).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

using RuntimeVersion = std::array<uint32_t, 4>;

// The oldest runtime whose client library this loader can talk to.
inline constexpr RuntimeVersion kMinimumRuntimeVersion = {86, 0, 616, 0};

// Reads up to four dot-separated runs of ASCII digits. Missing trailing components are 0, anything
// after a run that is not a "." ends the version ("120.5beta" is 120.5.0.0), and a component that
// overflows stays at 4294967295. Fails only when the text does not start with a digit.
bool ParseRuntimeVersion(std::wstring_view text, RuntimeVersion& version) noexcept;

// Component by component, as unsigned numbers.
bool IsAtLeastMinimumRuntimeVersion(const RuntimeVersion& version) noexcept;
