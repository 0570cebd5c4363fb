#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "shell/preferences.h"
#include "tests/shell/message_recorder.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// A game object that appends its own data on save and reads it back on load.
class DataGame : public RecordingGame {
  public:
    DataGame(MessageRecord& record, std::string data)
        : RecordingGame("Scrapvolt", record), data_(std::move(data)) {}

    long offsetSeen = -1;
    std::string dataRead;

  protected:
    void onMessage(const Message* message) override {
        FILE* stream = static_cast<FILE*>(message->data);
        if (message->code == MSG_SAVE_PREFS) {
            offsetSeen = std::ftell(stream);
            std::fwrite(data_.data(), 1, data_.size(), stream);
        } else if (message->code == MSG_LOAD_PREFS) {
            offsetSeen = std::ftell(stream);
            for (int c; (c = std::fgetc(stream)) != EOF;) {
                dataRead.push_back(static_cast<char>(c));
            }
        }
    }

  private:
    std::string data_;
};

class PrefsFile : public testing::Test {
  protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        char pattern[] = "/tmp/prefs_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
        setenv("APPDATA", directory.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("APPDATA");
        fs::remove_all(directory);
        SDL_Quit();
    }

    // A fresh loop with its own game object, its path built as at start-up.
    std::unique_ptr<LoopState> newLoop(DataGame& game) {
        auto loop = std::make_unique<LoopState>();
        loop->game = &game;
        buildPreferencesPath(*loop, game.prefsName());
        return loop;
    }

    std::string path() const { return directory + "/Scrapvolt.cfg"; }

    void writeFile(const Bytes& bytes) const {
        std::ofstream(path(), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    Bytes readFile() const {
        std::ifstream in(path(), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    size_t entriesInDirectory() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(directory), {}));
    }

    std::string directory;
    MessageRecord record;
};

const Bytes defaultHeader = {0x00, 0x80, 0x02, 0x00, 0x00, 0xE0, 0x01,
                             0x00, 0x00, 0x00, 0x00, 0x01, 0x00};

TEST_F(PrefsFile, NoFileKeepsTheDefaultsAndAsksTheGameNothing) {
    DataGame game(record, "");
    auto loop = newLoop(game);
    loadPreferences(*loop);
    EXPECT_EQ(loop->settings.width, 640);
    EXPECT_EQ(loop->settings.gamma, 1.0f);
    EXPECT_FALSE(loop->mouseCaptured);
    EXPECT_TRUE(record.lines().empty());
}

TEST_F(PrefsFile, DefaultSettingsWithoutGameDataSaveAsTheBareHeader) {
    DataGame game(record, "");
    auto loop = newLoop(game);
    savePreferences(*loop);
    EXPECT_EQ(readFile(), defaultHeader);
    EXPECT_EQ(game.offsetSeen, 13);
    EXPECT_EQ(record.lines(), (std::vector<std::string>{"Scrapvolt SAVE_PREFS"}));
    EXPECT_EQ(entriesInDirectory(), 1u) << "the temporary file was left behind";
}

TEST_F(PrefsFile, SettingsAndGameDataSurviveASaveAndALoad) {
    DataGame saver(record, "lap 3");
    auto saving = newLoop(saver);
    saving->settings = DisplaySettings{1024, 768, true, false, true, 0x1.266666p+0f};
    savePreferences(*saving);

    DataGame loader(record, "");
    auto loading = newLoop(loader);
    loadPreferences(*loading);
    const DisplaySettings& s = loading->settings;
    EXPECT_EQ(s.width, 1024);
    EXPECT_EQ(s.height, 768);
    EXPECT_TRUE(s.fullScreen);
    EXPECT_FALSE(s.multisample);
    EXPECT_TRUE(s.highResolution);
    EXPECT_EQ(s.gamma, 0x1.2666p+0f) << "1.15 is stored truncated, as 75366";
    EXPECT_TRUE(loading->mouseCaptured) << "a full-screen file must capture the mouse";
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), 0);
    EXPECT_EQ(loader.offsetSeen, 13);
    EXPECT_EQ(loader.dataRead, "lap 3");
}

TEST_F(PrefsFile, ShortFileIsIgnoredAndNotOfferedToTheGame) {
    writeFile(Bytes(defaultHeader.begin(), defaultHeader.begin() + 12));
    DataGame game(record, "");
    auto loop = newLoop(game);
    loop->settings.width = 1234;  // a short file must not change anything
    loadPreferences(*loop);
    EXPECT_EQ(loop->settings.width, 1234);
    EXPECT_TRUE(record.lines().empty()) << "MSG_LOAD_PREFS sent for a file without a header";
}

TEST_F(PrefsFile, ImpossibleSizeKeepsTheDefaultsButStillOffersTheGameData) {
    Bytes bytes = {0x07, 0x00, 0x00, 0x00, 0x00, 0xE0, 0x01, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00};
    bytes.push_back('x');
    writeFile(bytes);
    DataGame game(record, "");
    auto loop = newLoop(game);
    loadPreferences(*loop);
    EXPECT_EQ(loop->settings.width, 640);
    EXPECT_FALSE(loop->settings.fullScreen);
    EXPECT_EQ(loop->settings.gamma, 1.0f);
    EXPECT_FALSE(loop->mouseCaptured);
    EXPECT_EQ(game.dataRead, "x");
}

TEST_F(PrefsFile, MissingDirectoriesAreCreated) {
    const std::string nested = directory + "/a/b";
    setenv("APPDATA", nested.c_str(), 1);
    DataGame game(record, "");
    auto loop = newLoop(game);
    savePreferences(*loop);
    EXPECT_EQ(fs::file_size(nested + "/Scrapvolt.cfg"), 13u);
}

TEST_F(PrefsFile, DirectoryThatCannotBeMadeWritesNothingAndAsksNothing) {
    writeFile(defaultHeader);
    const std::string blocked = path() + "/sub";  // below a regular file
    setenv("APPDATA", blocked.c_str(), 1);
    DataGame game(record, "data");
    auto loop = newLoop(game);
    savePreferences(*loop);
    EXPECT_TRUE(record.lines().empty()) << "MSG_SAVE_PREFS sent without a file";
    EXPECT_EQ(readFile(), defaultHeader);
}

TEST_F(PrefsFile, FailedWriteLeavesTheOldFileAsItWas) {
    const Bytes old = {0x04, 0x00, 0x04, 0x00, 0x00, 0x00, 0x03, 0x00,
                       0x00, 0x00, 0x80, 0x01, 0x00, 'o',  'l',  'd'};
    writeFile(old);
    DataGame game(record, std::string(1 << 20, 'z'));  // far beyond the limit below
    auto loop = newLoop(game);

    // A file-size limit makes the write fail even for root, whom permissions do not stop.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 4096;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    savePreferences(*loop);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(readFile(), old) << "a failed save damaged the old file";
    EXPECT_EQ(entriesInDirectory(), 1u) << "the temporary file was left behind";
}

TEST_F(PrefsFile, FileThatCannotBeReplacedStaysAsItWas) {
    fs::create_directory(path());  // a directory where the file should be
    DataGame game(record, "");
    auto loop = newLoop(game);
    savePreferences(*loop);
    EXPECT_TRUE(fs::is_directory(path()));
    EXPECT_EQ(entriesInDirectory(), 1u) << "the temporary file was left behind";
}

TEST_F(PrefsFile, SymbolicLinkStaysALinkToTheReplacedFile) {
    const std::string real = directory + "/real.cfg";
    std::ofstream(real) << "old";
    fs::create_symlink(real, path());
    DataGame game(record, "");
    auto loop = newLoop(game);
    savePreferences(*loop);
    EXPECT_TRUE(fs::is_symlink(path())) << "the link was replaced by a file";
    EXPECT_EQ(fs::file_size(real), 13u);
}

TEST_F(PrefsFile, PathThatDidNotFitIsNeitherReadNorWritten) {
    DataGame game(record, "");
    auto loop = newLoop(game);
    loop->prefsPath[0] = '\0';
    loadPreferences(*loop);
    savePreferences(*loop);
    EXPECT_TRUE(record.lines().empty());
    EXPECT_EQ(entriesInDirectory(), 0u);
}

}  // namespace
