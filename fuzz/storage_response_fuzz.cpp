// The TCP storage client against a server that answers with the fuzzer's bytes.
//
// Input: a byte choosing the operation (read, next, write, remove, exists; each one exchange),
// then everything the server sends back after reading the request.
//
// The server is a thread of this process listening on a loopback port; per exchange it
// accepts, reads the request frame, sends the bytes, shuts its side down and waits for the
// client to close.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

#include "FuzzInput.h"
#include "QuietLog.h"
#include "storage_client/RemoteProtocol.h"
#include "storage_client/RemoteStorageClient.h"

using namespace Kestrel::StorageClient;

namespace {

class ScriptedServer {
public:
    ScriptedServer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(listener_, 4) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            __builtin_trap();
        port_ = ntohs(address.sin_port);
        std::thread([this] { serve(); }).detach();
    }
    uint16_t port() const { return port_; }
    void setAnswer(std::string_view bytes) {
        std::lock_guard<std::mutex> lock(mutex_);
        answer_.assign(bytes);
    }

private:
    static bool receiveAll(int socket, char* buffer, size_t size) {
        while (size > 0) {
            const ssize_t got = ::recv(socket, buffer, size, 0);
            if (got <= 0)
                return false;
            buffer += got;
            size -= size_t(got);
        }
        return true;
    }
    void serve() {
        for (;;) {
            const int socket = ::accept(listener_, nullptr, nullptr);
            if (socket < 0)
                continue;
            char header[Remote::frameHeaderSize];
            if (receiveAll(socket, header, sizeof header)) {
                std::string body(size_t(std::min<uint64_t>(Remote::decodeFrameHeader(header), 1 << 20)), '\0');
                receiveAll(socket, body.data(), body.size());
            }
            std::string answer;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                answer = answer_;
            }
            for (size_t sent = 0; sent < answer.size();) {
                const ssize_t n = ::send(socket, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                sent += size_t(n);
            }
            ::shutdown(socket, SHUT_WR);
            char drain[256];
            while (::recv(socket, drain, sizeof drain, 0) > 0) {
            }
            // The client has closed: drop the connection at once instead of keeping it in
            // TIME_WAIT, which thousands of exchanges a second would fill the port range with.
            const linger abort{1, 0};
            ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
            ::close(socket);
        }
    }

    int listener_ = -1;
    uint16_t port_ = 0;
    std::mutex mutex_;
    std::string answer_;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silenceDebugLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ScriptedServer server;
    FuzzInput in(data, size);
    const uint8_t operation = in.byte() % 5;
    server.setAnswer(in.rest());
    RemoteStorageClient client("127.0.0.1", server.port());
    try {
        switch (operation) {
        case 0: client.sendMessage({Remote::RequestType::Read, "group", "key", {}}); break;
        case 1: client.next("group", "key"); break;
        case 2: client.write("group", "key", "value"); break;
        case 3: client.remove("group", "key"); break;
        default: client.exists(); break;
        }
    } catch (const std::exception&) {
    }
    return 0;
}
