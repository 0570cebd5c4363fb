#include "shell/preferences_directory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "shell/preferences.h"

namespace {

struct DirectoryRow {
    const char* what;
    PrefsLocations where;
    const char* expected;
};

PrefsLocations appData(const char* value) {
    return {value, "/xdg", "/home/u", "/opt/x/run"};
}

const DirectoryRow directoryRows[] = {
    {"APPDATA gets a separator", appData(R"(C:\Users\u\AppData\Roaming)"),
     R"(C:\Users\u\AppData\Roaming/)"},
    {"APPDATA ending in a backslash", appData(R"(C:\Users\u\AppData\Roaming\)"),
     R"(C:\Users\u\AppData\Roaming\)"},
    {"APPDATA as a Unix path", appData("/tmp/prefs"), "/tmp/prefs/"},
    {"APPDATA ending in a slash", appData("/tmp/prefs/"), "/tmp/prefs/"},
    {"empty APPDATA counts as unset", appData(""), "/xdg/"},
    {"XDG_CONFIG_HOME", {nullptr, "/home/u/cfg", "/home/u", "/opt/x/run"}, "/home/u/cfg/"},
    {"relative XDG_CONFIG_HOME is ignored",
     {nullptr, "cfg", "/home/u", nullptr},
     "/home/u/.config/"},
    {"HOME", {nullptr, nullptr, "/home/u", "/opt/x/run"}, "/home/u/.config/"},
    {"HOME ending in a slash", {nullptr, "", "/home/u/", nullptr}, "/home/u/.config/"},
    {"Windows executable",
     {nullptr, nullptr, nullptr, R"(D:\games\arena\run.exe)"},
     R"(D:\games\arena\)"},
    {"Unix executable", {nullptr, nullptr, "", "/usr/games/scrapvolt"}, "/usr/games/"},
    {"executable in the root", {nullptr, nullptr, nullptr, "/scrapvolt"}, "/"},
    {"executable without a separator", {nullptr, nullptr, nullptr, "run.exe"}, "r"},
};

TEST(PrefsDirectory, FirstKnownLocationWinsAndEndsInASeparator) {
    for (const DirectoryRow& row : directoryRows) {
        char out[2048];
        ASSERT_TRUE(composePrefsDirectory(row.where, out)) << row.what;
        EXPECT_STREQ(out, row.expected) << row.what;
    }
}

TEST(PrefsDirectory, NoLocationGivesNoDirectory) {
    char out[2048] = "stale";
    EXPECT_FALSE(composePrefsDirectory({nullptr, "", "", nullptr}, out));
    EXPECT_STREQ(out, "");
}

TEST(PrefsDirectory, DirectoryMustFitWithItsSeparator) {
    char out[2048];
    const std::string fits(2046, 'a');  // + '/' + terminator = 2048
    ASSERT_TRUE(composePrefsDirectory({fits.c_str()}, out));
    EXPECT_EQ(std::string(out), fits + "/");
    const std::string tooLong(2047, 'a');
    EXPECT_FALSE(composePrefsDirectory({tooLong.c_str()}, out));
    EXPECT_STREQ(out, "") << "a cut directory was handed out";
    const std::string home(2040, 'h');  // fits alone, not with "/.config/"
    EXPECT_FALSE(composePrefsDirectory({nullptr, nullptr, home.c_str()}, out));
}

class PrefsPath : public testing::Test {
  protected:
    void SetUp() override {
        const char* old = std::getenv("APPDATA");
        hadAppData_ = old != nullptr;
        oldAppData_ = hadAppData_ ? old : "";
    }
    void TearDown() override {
        if (hadAppData_) {
            setenv("APPDATA", oldAppData_.c_str(), 1);
        } else {
            unsetenv("APPDATA");
        }
    }

  private:
    bool hadAppData_ = false;
    std::string oldAppData_;
};

TEST_F(PrefsPath, IsDirectoryThenNameDotCfg) {
    setenv("APPDATA", "/tmp/u", 1);
    static LoopState loop;
    buildPreferencesPath(loop, "Scrapvolt");
    EXPECT_STREQ(loop.prefsPath, "/tmp/u/Scrapvolt.cfg");
    buildPreferencesPath(loop, nullptr);
    EXPECT_STREQ(loop.prefsPath, "/tmp/u/zantprefs.cfg");
}

TEST_F(PrefsPath, PathThatDoesNotFitIsLeftEmpty) {
    const std::string directory(2040, 'd');
    setenv("APPDATA", directory.c_str(), 1);
    static LoopState loop;
    buildPreferencesPath(loop, "Scrapvolt");  // 2041 + 13 characters
    EXPECT_STREQ(loop.prefsPath, "") << "a truncated path would name another file";
    buildPreferencesPath(loop, "ab");  // 2041 + 6 characters + terminator = 2048
    EXPECT_EQ(std::string(loop.prefsPath), directory + "/ab.cfg");
}

}  // namespace
