#include <algorithm>
#include <cstdio>
#include <cstring>

#include "Command.h"

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
                 "Usage: orbtool COMMAND [ARGUMENTS...]\n"
                 "       orbtool COMMAND --help\n\n"
                 "Commands:\n");
    for (const auto& command : OrbTool::commands())
        std::fprintf(out, "  %-12s %s\n", command.name, command.summary);
}

} // namespace

int main(int argc, char** argv) {
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
