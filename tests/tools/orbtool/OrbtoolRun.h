#pragma once
// Running orbtool as a user does, from the end-to-end tests: the command's output and exit
// status, and numbers read from its JSON report.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <regex>
#include <string>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace OrbtoolRun {

#ifdef _WIN32
// The command interpreter (cmd.exe) reads a leading "/" as a switch, so the program's path
// goes with backslashes; errors are discarded into "nul".
inline std::string program(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}
constexpr const char* discardErrors = " 2>nul";
inline int exitStatus(int status) { return status; }
#else
inline std::string program(const std::string& path) { return path; }
constexpr const char* discardErrors = " 2>/dev/null";
inline int exitStatus(int status) { return WEXITSTATUS(status); }
#endif

struct Output {
    int status = -1;  // as pclose gives it; -1 when the command could not be started
    std::string text;
};

// Runs `command` through the shell and collects what it writes on stdout.
inline Output run(const std::string& command) {
    Output output;
#ifdef _WIN32
    FILE* pipe = _popen(command.c_str(), "rb");
#else
    FILE* pipe = popen(command.c_str(), "r");
#endif
    if (!pipe)
        return output;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe))
        output.text += buffer;
#ifdef _WIN32
    output.status = _pclose(pipe);
#else
    output.status = pclose(pipe);
#endif
    return output;
}

// The number after the first match of `pattern` and a colon; NaN for null. A missing field
// fails the test.
inline double number(const std::string& json, const std::string& pattern) {
    std::smatch match;
    const std::regex expression(pattern + R"(\s*:\s*([-0-9.eE+]+|null))");
    if (!std::regex_search(json, match, expression)) {
        ADD_FAILURE() << "no " << pattern << " in " << json;
        return NAN;
    }
    return match[1] == "null" ? NAN : std::stod(match[1]);
}

} // namespace OrbtoolRun
