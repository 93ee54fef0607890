#include "TestStorageServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace StorageTest {

using namespace Kestrel::StorageClient::Remote;

namespace {

// A client that connects and sends nothing must not hold the server for long.
constexpr int idleConnectionSeconds = 2;

int listenOn(int family, uint16_t port) {
    int handle = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (handle < 0)
        return -1;
    int on = 1;
    setsockopt(handle, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_storage address{};
    socklen_t size;
    if (family == AF_INET) {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        size = sizeof(sockaddr_in);
    } else {
        setsockopt(handle, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        v6->sin6_addr = in6addr_loopback;
        size = sizeof(sockaddr_in6);
    }
    if (::bind(handle, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(handle, 128) != 0) {
        ::close(handle);
        return -1;
    }
    return handle;
}

uint16_t boundPort(int handle) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    getsockname(handle, reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

bool receiveAll(int handle, char* data, std::size_t size) {
    while (size > 0) {
        ssize_t got = ::recv(handle, data, size, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        data += got;
        size -= std::size_t(got);
    }
    return true;
}

void sendAll(int handle, const std::string& bytes) {
    const char* data = bytes.data();
    std::size_t size = bytes.size();
    while (size > 0) {
        ssize_t sent = ::send(handle, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return;
        data += sent;
        size -= std::size_t(sent);
    }
}

} // namespace

TestStorageServer::TestStorageServer(uint16_t port) {
    // The IPv6 listener takes the port the IPv4 one got; retry if another socket holds it.
    for (int attempt = 0; attempt < 20; ++attempt) {
        listenerV4_ = listenOn(AF_INET, port);
        if (listenerV4_ < 0)
            throw std::runtime_error("test server: cannot listen on 127.0.0.1");
        port_ = boundPort(listenerV4_);
        listenerV6_ = listenOn(AF_INET6, port_);
        if (listenerV6_ >= 0 || port != 0)
            break;
        ::close(listenerV4_);
    }
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
        throw std::runtime_error("test server: no pipe");
    wakeRead_ = pipeEnds[0];
    wakeWrite_ = pipeEnds[1];
    thread_ = std::thread([this] { run(); });
}

TestStorageServer::~TestStorageServer() {
    stop();
    ::close(wakeRead_);
    ::close(wakeWrite_);
}

void TestStorageServer::stop() {
    if (stopped_.exchange(true))
        return;
    char wake = 0;
    (void)!::write(wakeWrite_, &wake, 1);
    thread_.join();
    ::close(listenerV4_);
    if (listenerV6_ >= 0)
        ::close(listenerV6_);
    closeParked();
}

void TestStorageServer::setBehaviour(Behaviour behaviour, std::string failureText) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        behaviour_ = behaviour;
        failureText_ = std::move(failureText);
    }
    if (behaviour != Behaviour::NeverAnswer)
        closeParked();
}

void TestStorageServer::closeParked() {
    std::vector<int> parked;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        parked.swap(parked_);
    }
    for (int handle : parked)
        ::close(handle);
}

std::vector<std::string> TestStorageServer::receivedFrames() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_;
}

std::map<std::string, std::map<std::string, std::string>> TestStorageServer::values() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return values_;
}

void TestStorageServer::setValue(const std::string& group, const std::string& key, const std::string& value) {
    std::lock_guard<std::mutex> lock(mutex_);
    values_[group][key] = value;
}

void TestStorageServer::run() {
    for (;;) {
        pollfd entries[3] = {{wakeRead_, POLLIN, 0}, {listenerV4_, POLLIN, 0}, {listenerV6_, POLLIN, 0}};
        int count = listenerV6_ >= 0 ? 3 : 2;
        if (::poll(entries, nfds_t(count), -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (entries[0].revents)
            return;
        for (int i = 1; i < count; ++i) {
            if (!(entries[i].revents & POLLIN))
                continue;
            int connection = ::accept4(entries[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection >= 0)
                serve(connection);
        }
    }
}

void TestStorageServer::serve(int connection) {
    connections_.fetch_add(1);
    Behaviour behaviour;
    std::string failureText;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        behaviour = behaviour_;
        failureText = failureText_;
    }
    if (behaviour == Behaviour::CloseAtOnce) {
        ::close(connection);
        return;
    }
    timeval idle{idleConnectionSeconds, 0};
    setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &idle, sizeof idle);

    char header[frameHeaderSize];
    std::string body;
    bool complete = receiveAll(connection, header, sizeof header);
    if (complete) {
        uint64_t length = decodeFrameHeader(header);
        // Requests of a test never come near this; a larger length is a broken client.
        complete = length <= (uint64_t(64) << 20);
        if (complete) {
            body.resize(std::size_t(length));
            complete = receiveAll(connection, body.data(), body.size());
        }
    }
    if (!complete) {
        ::close(connection);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        frames_.push_back(std::string(header, sizeof header) + body);
    }

    std::string reply;
    switch (behaviour) {
    case Behaviour::NeverAnswer: {
        std::lock_guard<std::mutex> lock(mutex_);
        parked_.push_back(connection);
        return;
    }
    case Behaviour::AnswerVersion1:
        reply = encodeFrameHeader(3) + std::string("\x01\x01\x00", 3);
        break;
    case Behaviour::HugeLength:
        reply = encodeFrameHeader(hugeLength_.load());
        break;
    default: {
        // A malformed request is answered with the decoder's complaint.
        Response response;
        try {
            Request request = decodeRequestBody(body);
            if (behaviour == Behaviour::AnswerFailure)
                response = request.type == RequestType::Exists ? Response{statusSuccess, {}} : Response{0, failureText};
            else
                response = answer(request);
        } catch (const std::exception& e) {
            response = Response{0, e.what()};
        }
        std::string encoded = encodeResponseBody(response);
        reply = encodeFrameHeader(encoded.size()) + encoded;
        break;
    }
    }
    sendAll(connection, reply);
    // Closing first leaves the waiting state on the server's side, not on the client's ports.
    ::close(connection);
}

Response TestStorageServer::answer(const Request& request) {
    std::lock_guard<std::mutex> lock(mutex_);
    switch (request.type) {
    case RequestType::Read: {
        auto group = values_.find(request.group);
        if (group == values_.end() || !group->second.count(request.key))
            return {0, "no value for " + request.group + "/" + request.key};
        return {statusSuccess, group->second[request.key]};
    }
    case RequestType::Write:
        values_[request.group][request.key] = request.value;
        return {statusSuccess, {}};
    case RequestType::Remove: {
        auto group = values_.find(request.group);
        if (group != values_.end())
            group->second.erase(request.key);
        return {statusSuccess, {}};
    }
    case RequestType::Next: {
        const auto& keys = values_[request.group];
        if (request.key.empty())
            return {statusSuccess, keys.empty() ? std::string() : keys.begin()->first};
        auto at = keys.find(request.key);
        if (at == keys.end())
            return {0, "Invalid key"};
        ++at;
        return {statusSuccess, at == keys.end() ? std::string() : at->first};
    }
    case RequestType::Exists:
        return {statusSuccess, {}};
    }
    return {0, "unknown request type " + std::to_string(int(request.type))};
}

} // namespace StorageTest
