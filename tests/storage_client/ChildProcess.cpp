#include "ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace StorageTest {

ChildResult runChild(const std::string& program, const std::vector<std::string>& arguments,
                     const std::map<std::string, std::string>& environment, const std::string& input) {
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC))
        return {};
    // Everything the child needs is prepared before the fork: the test may have threads.
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        std::string variable = *entry;
        if (!environment.count(variable.substr(0, variable.find('='))))
            variables.push_back(variable);
    }
    for (const auto& [name, value] : environment)
        variables.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    pid_t child = fork();
    if (child == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    // A child that dies early must not kill the test through the pipe.
    signal(SIGPIPE, SIG_IGN);

    ChildResult result;
    std::size_t written = 0;
    int inWrite = in[1];
    if (input.empty()) {
        close(inWrite);
        inWrite = -1;
    }
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        pollfd entries[3] = {{out[0], short(outOpen ? POLLIN : 0), 0},
                             {err[0], short(errOpen ? POLLIN : 0), 0},
                             {inWrite, POLLOUT, 0}};
        if (poll(entries, inWrite >= 0 ? 3 : 2, -1) < 0 && errno != EINTR)
            break;
        char buffer[4096];
        for (int i = 0; i < 2; ++i) {
            if (!entries[i].revents)
                continue;
            ssize_t got = read(entries[i].fd, buffer, sizeof buffer);
            if (got > 0)
                (i == 0 ? result.out : result.err).append(buffer, std::size_t(got));
            else
                (i == 0 ? outOpen : errOpen) = false;
        }
        if (inWrite >= 0 && entries[2].revents) {
            ssize_t sent = write(inWrite, input.data() + written, input.size() - written);
            if (sent > 0)
                written += std::size_t(sent);
            if (sent <= 0 || written == input.size()) {
                close(inWrite);
                inWrite = -1;
            }
        }
    }
    if (inWrite >= 0)
        close(inWrite);
    close(out[0]);
    close(err[0]);
    int status = 0;
    waitpid(child, &status, 0);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace StorageTest
