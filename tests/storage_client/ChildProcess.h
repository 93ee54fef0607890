#pragma once
// Runs a program with arguments, extra environment and standard input; collects its output.

#include <map>
#include <string>
#include <vector>

namespace StorageTest {

struct ChildResult {
    int exitStatus = -1;  // -1 when it did not exit normally
    std::string out;
    std::string err;
};

ChildResult runChild(const std::string& program, const std::vector<std::string>& arguments,
                     const std::map<std::string, std::string>& environment = {}, const std::string& input = {});

} // namespace StorageTest
