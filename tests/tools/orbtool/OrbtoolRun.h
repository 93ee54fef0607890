#pragma once
// Running orbtool as a user does, from the end-to-end tests: the command's output and exit
// status, and numbers read from its JSON report.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <regex>
#include <string>

namespace OrbtoolRun {

struct Output {
    int status = -1;  // as pclose gives it; -1 when the command could not be started
    std::string text;
};

// Runs `command` through the shell and collects what it writes on stdout.
inline Output run(const std::string& command) {
    Output output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return output;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe))
        output.text += buffer;
    output.status = pclose(pipe);
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
