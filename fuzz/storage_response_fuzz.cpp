// The TCP storage client against a server that answers with the fuzzer's bytes.
//
// Input: a byte choosing the operation (read: two exchanges, exists then read; next, write,
// remove, exists: one each), then everything the server sends back in every exchange.
//
// The server lives in this process: each exchange gets one end of a socket pair whose other
// end already holds the answer, closed for writing, so the client reads the answer and then
// the end of the stream. What is fuzzed is the client's handling of the bytes; a loopback
// connection, a server thread and an accept per exchange only cost time.

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "QuietLog.h"
#include "storage_client/RemoteProtocol.h"
#include "storage_client/RemoteStorageClient.h"

using namespace Kestrel::StorageClient;
using Kestrel::Networking::Socket;

namespace {

// Server ends of the exchanges of one input, closed when the input is done.
class AnsweringServer {
public:
    explicit AnsweringServer(std::string_view answer) : answer_(answer) {}
    ~AnsweringServer() {
        for (int end : serverEnds_)
            ::close(end);
    }
    std::unique_ptr<Socket> connect() {
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0)
            __builtin_trap();
        serverEnds_.push_back(ends[1]);
        // As much of the answer as the pair holds without a reader (all of it, at -max_len).
        ::fcntl(ends[1], F_SETFL, O_NONBLOCK);
        for (size_t sent = 0; sent < answer_.size();) {
            const ssize_t n = ::send(ends[1], answer_.data() + sent, answer_.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += size_t(n);
        }
        ::shutdown(ends[1], SHUT_WR);
        return std::make_unique<Socket>(ends[0]);
    }

private:
    std::string_view answer_;
    std::vector<int> serverEnds_;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silenceDebugLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const uint8_t operation = in.byte() % 5;
    AnsweringServer server(in.rest());
    RemoteStorageClient client([&server] { return server.connect(); });
    try {
        switch (operation) {
        case 0: client.read("group", "key"); break;
        case 1: client.next("group", "key"); break;
        case 2: client.write("group", "key", "value"); break;
        case 3: client.remove("group", "key"); break;
        default: client.exists(); break;
        }
    } catch (const std::exception&) {
    }
    return 0;
}
