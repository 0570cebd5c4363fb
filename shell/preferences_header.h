#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "display_settings.h"

namespace scrapvolt {

// The 13 bytes at the start of the preferences file, all fields little-endian:
//   0  flags: bit 0 highResolution, bit 1 multisample, bit 2 fullScreen (bits 3-7 written 0)
//   1  width, int32     5  height, int32     9  gamma, unsigned 16.16 fixed point
// The game object's own data follows.
inline constexpr size_t prefsHeaderSize = 13;
using PrefsHeader = std::array<uint8_t, prefsHeaderSize>;

// Window sizes outside 1..maxStoredSize are taken for a damaged file.
inline constexpr int32_t maxStoredSize = 16384;

PrefsHeader encodePrefsHeader(const DisplaySettings& settings);

// The gamma the gamma key steps through, in 16.16 fixed point: from 1.0 up to but not including
// 2.5. A stored gamma outside it is brought to its nearer end, so that every gamma loaded is
// saved again as the same four bytes.
inline constexpr uint32_t minStoredGamma = 0x10000;
inline constexpr uint32_t maxStoredGamma = 0x27FFF;

// Reads a whole header into settings. False, with settings untouched, when the header is short
// or its window size is out of range.
bool decodePrefsHeader(std::span<const uint8_t> bytes, DisplaySettings& settings);

}  // namespace scrapvolt
