// scrapvolt-replay on a journal the game wrote on x86-64 (Up, Up with Left, Down, Down with
// Right, then coasting; Escape after about five seconds): without a window every hash matches,
// and the program's answers to what is not a journal it can replay.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "command_output.h"

namespace {

const std::string replay = SCRAPVOLT_REPLAY;
const std::string journal = SCRAPVOLT_TEST_DATA "/drive.journal";

TEST(Replay, AJournalFromX86MatchesAndFilesThatAreNoJournalAreRefused) {
    const std::string usage = "Usage: " + replay + " [--window] JOURNAL\n";
    const std::tuple<std::string, int, std::string> rows[] = {
        {journal, 0,
         "tick 100 hash 36f3c20cb5f57e4d\ntick 200 hash 20d343cffccd5608\n"
         "tick 300 hash 1f83217f41c11fbb\ntick 400 hash 4f9193607bfa1751\n"
         "tick 500 hash 672ae0ff89876826\nend tick 538 hash 0eed3db485c21b0c\n"},
        {"", 2, usage},
        {"--help", 0, usage},
        {"--frames " + journal, 2, usage},
        {journal + " " + journal, 2, usage},
        {"/", 2, "/: cannot be read (Is a directory).\n"},
        {"/dev/null", 2, "/dev/null: not a journal (no journal header).\n"},
    };
    for (const auto& [arguments, status, expected] : rows) {  // the help after the usage aside
        const auto [got, output] = statusAndOutput("env -u DISPLAY " + replay + " " + arguments);
        EXPECT_EQ(got, status) << arguments;
        EXPECT_EQ(output.substr(0, output.find("Replays")), expected) << arguments;
    }
}

}  // namespace
