#include "tests/shell/recorded_run.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<LogLine> parseLog(const std::string& text) {
    std::vector<LogLine> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        LogLine entry;
        entry.text = line;
        std::istringstream fields(line);
        fields >> entry.receiver;
        if (!(fields >> entry.code >> entry.tick >> entry.ms)) {
            entry.code = -1;
        }
        lines.push_back(entry);
    }
    return lines;
}

[[noreturn]] void execGame(const std::string& directory,
                           const std::vector<std::pair<std::string, std::string>>& env) {
    const int out = open((directory + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open((directory + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    unsetenv("SDL_VIDEODRIVER");
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("SHELL_TEST_LOG", (directory + "/log").c_str(), 1);
    setenv("APPDATA", (directory + "/").c_str(), 1);
    for (const auto& [name, value] : env) {
        setenv(name.c_str(), value.c_str(), 1);
    }
    alarm(20);  // survives exec: SIGALRM ends a game that hangs
    execl(RECORDING_GAME_PATH, RECORDING_GAME_PATH, static_cast<char*>(nullptr));
    _exit(127);
}

}  // namespace

RecordedRun runRecordingGame(const std::vector<std::pair<std::string, std::string>>& env) {
    RecordedRun run;
    std::string pattern = ::testing::TempDir() + "shell_window_XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "cannot create a directory for the run";
        return run;
    }
    const std::string directory = pattern;
    const pid_t child = fork();
    if (child == 0) {
        execGame(directory, env);
    }
    int status = 0;
    waitpid(child, &status, 0);
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.standardOutput = readFile(directory + "/stdout");
    run.standardError = readFile(directory + "/stderr");
    run.log = parseLog(readFile(directory + "/log"));
    return run;
}

std::vector<std::string> messageSequence(const std::vector<LogLine>& log) {
    std::vector<std::string> sequence;
    for (const LogLine& line : log) {
        if (line.code >= 0 && line.code != 9) {
            sequence.push_back(line.receiver + " " + std::to_string(line.code) + " " +
                               std::to_string(line.tick));
        }
    }
    return sequence;
}
