// The test storage server as a program, for trying `orbtool storage --remote` by hand:
//
//     storage_test_server [--port N] [--behaviour normal|never-answer|close|version1|fail:TEXT|huge]
//
// Prints the addresses it listens on and serves until interrupted (Ctrl+C).
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "TestStorageServer.h"

using StorageTest::Behaviour;

namespace {

int usage() {
    std::fputs("usage: storage_test_server [--port N] "
               "[--behaviour normal|never-answer|close|version1|fail:TEXT|huge]\n",
               stderr);
    return 2;
}

bool parseBehaviour(const std::string& name, Behaviour& behaviour, std::string& text) {
    if (name == "normal")
        behaviour = Behaviour::Normal;
    else if (name == "never-answer")
        behaviour = Behaviour::NeverAnswer;
    else if (name == "close")
        behaviour = Behaviour::CloseAtOnce;
    else if (name == "version1")
        behaviour = Behaviour::AnswerVersion1;
    else if (name == "huge")
        behaviour = Behaviour::HugeLength;
    else if (name.rfind("fail:", 0) == 0) {
        behaviour = Behaviour::AnswerFailure;
        text = name.substr(5);
    } else
        return false;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    unsigned long port = 0;
    Behaviour behaviour = Behaviour::Normal;
    std::string failureText;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc)
            return usage();
        const std::string value = argv[++i];
        if (option == "--port") {
            char* end = nullptr;
            port = std::strtoul(value.c_str(), &end, 10);
            if (*end || port > 65535)
                return usage();
        } else if (option == "--behaviour") {
            if (!parseBehaviour(value, behaviour, failureText))
                return usage();
        } else {
            return usage();
        }
    }

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    // Blocked before the server thread starts, so only sigwait below sees them.
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    try {
        StorageTest::TestStorageServer server{uint16_t(port)};
        server.setBehaviour(behaviour, failureText);
        std::printf("listening on 127.0.0.1:%u", unsigned(server.port()));
        if (server.hasIPv6())
            std::printf(" and [::1]:%u", unsigned(server.port()));
        std::printf("\n");
        std::fflush(stdout);
        int received = 0;
        sigwait(&signals, &received);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "storage_test_server: %s\n", e.what());
        return 1;
    }
    return 0;
}
