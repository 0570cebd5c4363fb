#include "preferences_header.h"

#include <algorithm>

namespace scrapvolt {

namespace {

constexpr uint8_t highResolutionBit = 1;
constexpr uint8_t multisampleBit = 2;
constexpr uint8_t fullScreenBit = 4;

void putU32(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

uint32_t getU32(const uint8_t* in) {
    return uint32_t{in[0]} | uint32_t{in[1]} << 8 | uint32_t{in[2]} << 16 | uint32_t{in[3]} << 24;
}

bool sizeInRange(int32_t size) {
    return size >= 1 && size <= maxStoredSize;
}

}  // namespace

PrefsHeader encodePrefsHeader(const DisplaySettings& s) {
    PrefsHeader header{};
    header[0] = static_cast<uint8_t>((s.fullScreen ? fullScreenBit : 0) |
                                     (s.multisample ? multisampleBit : 0) |
                                     (s.highResolution ? highResolutionBit : 0));
    putU32(&header[1], static_cast<uint32_t>(s.width));
    putU32(&header[5], static_cast<uint32_t>(s.height));
    // Truncated toward zero. A loaded gamma is a whole number of 1/65536 within the key's range,
    // exact in a float, so it is written back as the bytes it was read from.
    putU32(&header[9], static_cast<uint32_t>(static_cast<int64_t>(s.gamma * 65536.0f)));
    return header;
}

bool decodePrefsHeader(std::span<const uint8_t> bytes, DisplaySettings& settings) {
    if (bytes.size() < prefsHeaderSize) {
        return false;
    }
    const auto width = static_cast<int32_t>(getU32(&bytes[1]));
    const auto height = static_cast<int32_t>(getU32(&bytes[5]));
    if (!sizeInRange(width) || !sizeInRange(height)) {
        return false;
    }
    settings.highResolution = (bytes[0] & highResolutionBit) != 0;
    settings.multisample = (bytes[0] & multisampleBit) != 0;
    settings.fullScreen = (bytes[0] & fullScreenBit) != 0;
    settings.width = width;
    settings.height = height;
    const uint32_t gamma = std::clamp(getU32(&bytes[9]), minStoredGamma, maxStoredGamma);
    settings.gamma = static_cast<float>(gamma) * (1.0f / 65536.0f);
    return true;
}

}  // namespace scrapvolt
