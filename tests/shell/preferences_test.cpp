#include "shell/preferences.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "shell/preferences_directory.h"
#include "shell/preferences_header.h"
#include "tests/shell/test_support.h"

namespace {

namespace fs = std::filesystem;
using std::tuple;

PrefsHeader headerWith(uint8_t flags, uint32_t width, uint32_t height, uint32_t gamma) {
    PrefsHeader header{flags};
    for (int i = 0; i < 4; ++i) {
        header[1 + i] = static_cast<uint8_t>(width >> (8 * i));
        header[5 + i] = static_cast<uint8_t>(height >> (8 * i));
        header[9 + i] = static_cast<uint8_t>(gamma >> (8 * i));
    }
    return header;
}

const PrefsHeader defaultHeader = {0x00, 0x80, 0x02, 0x00, 0x00, 0xE0, 0x01,
                                   0x00, 0x00, 0x00, 0x00, 0x01, 0x00};

TEST(PrefsHeader, EncodesFlagsAndLittleEndianFields) {
    EXPECT_EQ(encodePrefsHeader({}), defaultHeader);
    EXPECT_EQ(encodePrefsHeader({1024, 0x01020304, true, false, true, 1.0f}),
              headerWith(0x05, 1024, 0x01020304, 65536));
    // Gamma from the gamma key is stored truncated: 1.15 as 75366 (66 26 01 00), 1.3 as 85196.
    EXPECT_EQ(encodePrefsHeader({640, 480, false, true, false, 0x1.266666p+0f}),
              headerWith(0x02, 640, 480, 75366));
    EXPECT_EQ(encodePrefsHeader({640, 480, false, false, false, 0x1.4cccccp+0f}),
              headerWith(0x00, 640, 480, 85196));
}

TEST(PrefsHeader, DecodesAWholeHeaderWithAPlausibleWindowSize) {
    const struct {
        PrefsHeader header;
        const char* settings;  // null: refused, the defaults kept
    } rows[] = {
        {headerWith(0x05, 1024, 768, 65536), "1024x768 full hi 0x1p+0"},
        {headerWith(0xFA, 640, 480, 75366), "640x480 ms 0x1.2666p+0"},  // 1.1499939
        {headerWith(0x00, 1, 16384, 98304), "1x16384 0x1.8p+0"},
        {headerWith(0x07, 0, 600, 98304), nullptr},
        {headerWith(0x07, 800, 0, 98304), nullptr},
        {headerWith(0x07, 16385, 600, 98304), nullptr},
        {headerWith(0x07, 800, 16385, 98304), nullptr},
        {headerWith(0x07, 0xFFFFFFFF, 600, 98304), nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.header));
        DisplaySettings settings;
        EXPECT_EQ(decodePrefsHeader(row.header, settings), row.settings != nullptr);
        EXPECT_EQ(describe(settings), row.settings ? row.settings : "640x480 0x1p+0");
        PrefsHeader back = row.header;
        back[0] &= 0x07;  // flag bits 3 to 7 are written as 0
        EXPECT_EQ(encodePrefsHeader(settings), row.settings ? back : defaultHeader);
    }
    DisplaySettings settings;
    const PrefsHeader other = headerWith(0x07, 800, 600, 98304);
    EXPECT_FALSE(decodePrefsHeader(std::span(other).first(12), settings)) << "a short header";
    EXPECT_EQ(describe(settings), "640x480 0x1p+0");
}

TEST(PrefsDirectory, FirstKnownLocationWinsAndEndsInASeparator) {
    const std::string longest(2046, 'a'), longestDirectory = longest + "/", tooLong = longest + "a",
                                          longHome(2040, 'h');
    const struct {
        PrefsLocations where;
        const char* expected;  // null: no directory
    } rows[] = {
        {{R"(C:\Users\u\AppData\Roaming)", "/x", "/h", "/e/r"}, R"(C:\Users\u\AppData\Roaming/)"},
        {{R"(C:\Users\u\AppData\Roaming\)", "/x", "/h", "/e/r"}, R"(C:\Users\u\AppData\Roaming\)"},
        {{"/tmp/prefs/", "/x", "/h", "/e/r"}, "/tmp/prefs/"},
        {{"", "/x", "/h", "/e/r"}, "/x/"},
        {{nullptr, "cfg", "/home/u", nullptr}, "/home/u/.config/"},  // relative: ignored
        {{nullptr, "", "/home/u/", "/e/r"}, "/home/u/.config/"},
        {{nullptr, nullptr, "", R"(D:\games\arena\run.exe)"}, R"(D:\games\arena\)"},
        {{nullptr, "", "", nullptr}, nullptr},
        {{longest.c_str()}, longestDirectory.c_str()},
        {{tooLong.c_str()}, nullptr},
        {{nullptr, nullptr, longHome.c_str()}, nullptr},  // no room for ".config/"
    };
    for (const auto& row : rows) {
        char out[2048] = "stale";
        EXPECT_EQ(composePrefsDirectory(row.where, out), row.expected != nullptr) << row.expected;
        EXPECT_STREQ(out, row.expected ? row.expected : "");
    }
}

// The game object appends `data` on saving and reads what follows the header into `read`.
class PrefsFile : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        char pattern[] = "/tmp/prefs_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        setenv("APPDATA", dir.c_str(), 1);
        game.onMessage = [this](const Message* m) {
            FILE* file = static_cast<FILE*>(m->data);
            offset = std::ftell(file);
            if (m->code == MSG_SAVE_PREFS) {
                std::fputs(data.c_str(), file);
            }
            for (int c; m->code == MSG_LOAD_PREFS && (c = std::fgetc(file)) != EOF;) {
                read.push_back(static_cast<char>(c));
            }
        };
    }
    void TearDown() override {
        unsetenv("APPDATA");
        fs::remove_all(dir);
        ShellTest::TearDown();
    }
    void run(void (*step)(LoopState&)) {
        buildPreferencesPath(loop, "Scrapvolt");
        step(loop);
    }
    std::string path() const { return dir + "/Scrapvolt.cfg"; }
    void write(const std::string& bytes) const { std::ofstream(path(), std::ios::binary) << bytes; }
    std::string contents() const {
        std::ifstream in(path(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    long entries() const { return std::distance(fs::directory_iterator(dir), {}); }

    std::string dir, data, read;
    long offset = -1;
};

TEST_F(PrefsFile, SettingsAndGameDataSurviveASaveAndALoad) {
    setenv("APPDATA", (dir + "/a/b").c_str(), 1);  // missing directories are made
    buildPreferencesPath(loop, nullptr);
    EXPECT_EQ(loop.prefsPath, dir + "/a/b/zantprefs.cfg");
    savePreferences(loop);
    EXPECT_EQ(fs::file_size(loop.prefsPath), 13u);
    setenv("APPDATA", std::string(2040, 'd').c_str(), 1);
    run(loadPreferences);  // 2041 + 13 characters do not fit: no path, so no file at all
    run(savePreferences);
    EXPECT_EQ(tuple(std::string(loop.prefsPath), journal.text()), tuple("", "game SAVE_PREFS"));
    setenv("APPDATA", dir.c_str(), 1);
    journal.size = 0;
    run(loadPreferences);
    EXPECT_EQ(journal.size, 0) << "the game was asked to read without a file";
    run(savePreferences);
    EXPECT_EQ(contents(), std::string(defaultHeader.begin(), defaultHeader.end()));
    loop.settings = {1024, 768, true, false, true, 0x1.266666p+0f};
    data = "lap 3";
    run(savePreferences);
    loop.settings = {};
    run(loadPreferences);
    EXPECT_EQ(describe(loop.settings), "1024x768 full hi 0x1.2666p+0");
    EXPECT_EQ(tuple(loop.mouseCaptured, SDL_ShowCursor(SDL_QUERY)), tuple(true, 0));
    EXPECT_EQ(tuple(offset, read, entries()), tuple(13L, "lap 3", 2L)) << "not a/ and the file";
    EXPECT_EQ(journal.text(), "game SAVE_PREFS, game SAVE_PREFS, game LOAD_PREFS");

    write(contents().substr(0, 12));  // a short file is not read at all
    run(loadPreferences);
    EXPECT_EQ(journal.size, 3) << "MSG_LOAD_PREFS sent for a file without a whole header";
    const PrefsHeader damaged = headerWith(0x07, 0, 480, 3 << 16);
    write(std::string(damaged.begin(), damaged.end()) + "x");
    loop.settings = {};
    read.clear();
    run(loadPreferences);
    EXPECT_EQ(describe(loop.settings), "640x480 0x1p+0");
    EXPECT_EQ(read, "x") << "the game's data behind a damaged header was not offered";
}

TEST_F(PrefsFile, FailedSavesLeaveTheOldFileAsItWasAndNoTemporaryFile) {
    write("old");
    data = std::string(1 << 20, 'z');
    // A file-size limit makes the write fail even for root, whom permissions do not stop.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 4096;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    run(savePreferences);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(tuple(contents(), entries()), tuple("old", 1L));
    setenv("APPDATA", (path() + "/sub").c_str(), 1);  // below a regular file: cannot be made
    journal.size = 0;
    run(savePreferences);
    EXPECT_EQ(tuple(contents(), journal.size), tuple("old", 0)) << "saved without a file";
}

}  // namespace
