#pragma once
// The game tests' way of running a program: its exit status and what it printed.
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <utility>

// Exit status and standard output of a command, standard error going where `errors` sends it
// (by default after the output).
inline std::pair<int, std::string> statusAndOutput(const std::string& command,
                                                   const std::string& errors = "2>&1") {
    FILE* pipe = popen((command + " " + errors).c_str(), "r");
    std::string output;
    for (int c; pipe != nullptr && (c = std::fgetc(pipe)) != EOF;) {
        output += static_cast<char>(c);
    }
    const int status = pipe != nullptr ? pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}
