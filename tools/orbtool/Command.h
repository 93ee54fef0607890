#pragma once
// Subcommands of orbtool. Each lives in its own file and registers itself with one static
// object, so adding a command means adding a file:
//
//     static const OrbTool::CommandRegistration registration{
//         "storage", "read and write stored values", storageHelpText, runStorage};
//
// `run` gets the arguments after the command name; it returns the exit status. Failures print
// one line on stderr and return 1.

#include <string>
#include <vector>

namespace OrbTool {

using Arguments = std::vector<std::string>;

struct Command {
    const char* name;
    const char* summary;
    const char* help;
    int (*run)(const Arguments& arguments);
};

struct CommandRegistration {
    CommandRegistration(const char* name, const char* summary, const char* help, int (*run)(const Arguments&));
};

const std::vector<Command>& commands();

} // namespace OrbTool
