#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Command.h"
#include "EnvironmentVariable.h"
#include "interface_contract/DebugLog.h"

namespace OrbTool {

namespace {
std::vector<Command>& registry() {
    static std::vector<Command> list;
    return list;
}
} // namespace

CommandRegistration::CommandRegistration(const char* name, const char* summary, const char* help,
                                         int (*run)(const Arguments&)) {
    registry().push_back(Command{name, summary, help, run});
    std::sort(registry().begin(), registry().end(),
              [](const Command& a, const Command& b) { return std::strcmp(a.name, b.name) < 0; });
}

const std::vector<Command>& commands() { return registry(); }

} // namespace OrbTool

namespace {

void printUsage(std::FILE* out) {
    std::fprintf(out,
                 "orbtool: command-line companion of OrbDebug.\n\n"
                 "Usage: orbtool [--verbose] COMMAND [ARGUMENTS...]\n"
                 "       orbtool COMMAND --help\n\n"
                 "--verbose  also write the debug log of orbtool and of the libraries it loads to stderr\n\n"
                 "Commands:\n");
    for (const auto& command : OrbTool::commands())
        std::fprintf(out, "  %-12s %s\n", command.name, command.summary);
}

// The debug log of orbtool's own code and of every library it loads (each keeps its own copy
// of the log) goes to stderr only when asked for; the variable is read at the first line.
void showDebugLog(bool show) {
    OrbTool::setEnvironmentVariable(Kestrel::debugLogVariable, show ? "on" : "off");
}

} // namespace

int main(int argc, char** argv) {
    const bool verbose = argc > 1 && std::strcmp(argv[1], "--verbose") == 0;
    showDebugLog(verbose);
    if (verbose) {
        --argc;
        ++argv;
    }
    if (argc < 2) {
        printUsage(stderr);
        return 1;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        printUsage(stdout);
        return 0;
    }
    for (const auto& command : OrbTool::commands()) {
        if (name != command.name)
            continue;
        OrbTool::Arguments arguments(argv + 2, argv + argc);
        if (!arguments.empty() && (arguments[0] == "--help" || arguments[0] == "-h")) {
            std::fputs(command.help, stdout);
            return 0;
        }
        return command.run(arguments);
    }
    std::fprintf(stderr, "orbtool: unknown command '%s' (see orbtool --help)\n", name.c_str());
    return 1;
}
