#include "shell/preferences_header.h"

#include <gtest/gtest.h>

#include <bit>

namespace {

PrefsHeader headerWith(uint8_t flags, uint32_t width, uint32_t height, uint32_t gamma) {
    PrefsHeader header{};
    header[0] = flags;
    for (int i = 0; i < 4; ++i) {
        header[1 + i] = static_cast<uint8_t>(width >> (8 * i));
        header[5 + i] = static_cast<uint8_t>(height >> (8 * i));
        header[9 + i] = static_cast<uint8_t>(gamma >> (8 * i));
    }
    return header;
}

TEST(PrefsHeader, DefaultSettingsEncodeToTheKnownThirteenBytes) {
    const PrefsHeader expected = {0x00, 0x80, 0x02, 0x00, 0x00, 0xE0, 0x01,
                                  0x00, 0x00, 0x00, 0x00, 0x01, 0x00};
    EXPECT_EQ(encodePrefsHeader(DisplaySettings{}), expected);
}

TEST(PrefsHeader, FlagsAndSizesEncodeLittleEndian) {
    DisplaySettings settings;
    settings.fullScreen = true;
    settings.highResolution = true;
    settings.width = 1024;
    settings.height = 0x01020304;
    const PrefsHeader header = encodePrefsHeader(settings);
    EXPECT_EQ(header, headerWith(0x05, 1024, 0x01020304, 65536));
    settings.fullScreen = false;
    settings.highResolution = false;
    settings.multisample = true;
    EXPECT_EQ(encodePrefsHeader(settings)[0], 0x02);
}

TEST(PrefsHeader, HotKeyGammaTruncatesWhenStored) {
    DisplaySettings settings;
    settings.gamma = 0x1.266666p+0f;  // 1.15 as the gamma key makes it
    const PrefsHeader header = encodePrefsHeader(settings);
    EXPECT_EQ(header[9], 0x66);
    EXPECT_EQ(header[10], 0x26);
    EXPECT_EQ(header[11], 0x01);
    EXPECT_EQ(header[12], 0x00);
}

TEST(PrefsHeader, GammaLoadsAsFixedPointOver65536) {
    struct Row {
        uint32_t stored;
        float loaded;
    };
    const Row rows[] = {
        {75366, 0x1.2666p+0f},  // 1.1499939
        {98304, 1.5f},
        {196608, 3.0f},  // outside the key's cycle: kept as it is
        {0, 0.0f},
        {0x80000000u, 32768.0f},  // unsigned: never negative
    };
    for (const Row& row : rows) {
        DisplaySettings settings;
        ASSERT_TRUE(decodePrefsHeader(headerWith(0, 640, 480, row.stored), settings));
        EXPECT_EQ(std::bit_cast<uint32_t>(settings.gamma), std::bit_cast<uint32_t>(row.loaded))
            << row.stored << " loaded as " << settings.gamma;
    }
}

TEST(PrefsHeader, GammaBeyondInt32RangeIsWrittenBackUnchanged) {
    for (uint32_t stored : {0x80000000u, 0xFFFFFF00u, 0x7FFFFF80u}) {
        DisplaySettings settings;
        ASSERT_TRUE(decodePrefsHeader(headerWith(0, 640, 480, stored), settings));
        EXPECT_EQ(encodePrefsHeader(settings), headerWith(0, 640, 480, stored)) << stored;
    }
}

TEST(PrefsHeader, FlagsLoadFromTheirBitsAndUnknownBitsAreDropped) {
    DisplaySettings settings;
    ASSERT_TRUE(decodePrefsHeader(headerWith(0x05, 1024, 768, 65536), settings));
    EXPECT_TRUE(settings.fullScreen);
    EXPECT_TRUE(settings.highResolution);
    EXPECT_FALSE(settings.multisample);
    EXPECT_EQ(settings.width, 1024);
    EXPECT_EQ(settings.height, 768);
    EXPECT_EQ(settings.gamma, 1.0f);

    ASSERT_TRUE(decodePrefsHeader(headerWith(0xFA, 640, 480, 65536), settings));
    EXPECT_FALSE(settings.fullScreen);
    EXPECT_TRUE(settings.multisample);
    EXPECT_FALSE(settings.highResolution);
    ASSERT_TRUE(decodePrefsHeader(headerWith(0x08, 640, 480, 65536), settings));
    EXPECT_EQ(encodePrefsHeader(settings)[0], 0x00) << "bit 3 was written back";
}

TEST(PrefsHeader, ShortOrDamagedHeaderLeavesTheSettingsAlone) {
    const PrefsHeader good = headerWith(0x07, 800, 600, 98304);
    DisplaySettings settings;
    EXPECT_FALSE(decodePrefsHeader(std::span(good).first(12), settings)) << "12 bytes taken";
    EXPECT_FALSE(decodePrefsHeader({}, settings)) << "empty header taken";
    const PrefsHeader damaged[] = {
        headerWith(0x07, 0, 600, 98304),          headerWith(0x07, 800, 0, 98304),
        headerWith(0x07, 0xFFFFFFFF, 600, 98304), headerWith(0x07, 800, 0xFFFFFFFF, 98304),
        headerWith(0x07, 16385, 600, 98304),      headerWith(0x07, 800, 16385, 98304),
    };
    for (const PrefsHeader& header : damaged) {
        EXPECT_FALSE(decodePrefsHeader(header, settings));
    }
    const DisplaySettings defaults;
    EXPECT_EQ(settings.width, defaults.width);
    EXPECT_EQ(settings.height, defaults.height);
    EXPECT_FALSE(settings.fullScreen || settings.multisample || settings.highResolution);
    EXPECT_EQ(settings.gamma, 1.0f);
    ASSERT_TRUE(decodePrefsHeader(headerWith(0, 1, 16384, 65536), settings)) << "limits refused";
}

}  // namespace
