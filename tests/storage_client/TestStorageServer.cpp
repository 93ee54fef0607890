#include "TestStorageServer.h"

#include <cstring>
#include <stdexcept>

#ifndef _WIN32
#include <poll.h>
#endif

namespace StorageTest {

using namespace Kestrel::StorageClient::Remote;

namespace {

namespace Native = Kestrel::Networking::Native;
using Handle = Native::Handle;

// A client that connects and sends nothing must not hold the server for long.
constexpr int idleConnectionSeconds = 2;
// How often the server's thread looks whether it is to stop.
constexpr int stopCheckMilliseconds = 50;

#ifdef SOCK_CLOEXEC
// Not handed to the child processes of a test (orbtool).
constexpr int socketType = SOCK_STREAM | SOCK_CLOEXEC;
Handle acceptConnection(Handle listener) { return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC); }
#else
constexpr int socketType = SOCK_STREAM;
Handle acceptConnection(Handle listener) { return ::accept(listener, nullptr, nullptr); }
#endif

#ifdef _WIN32
int pollHandles(pollfd* entries, unsigned count, int milliseconds) { return WSAPoll(entries, count, milliseconds); }
constexpr int sendFlags = 0;
#else
int pollHandles(pollfd* entries, unsigned count, int milliseconds) { return ::poll(entries, nfds_t(count), milliseconds); }
constexpr int sendFlags = MSG_NOSIGNAL;
#endif

void setReceiveTimeout(Handle handle, int seconds) {
#ifdef _WIN32
    DWORD value = DWORD(seconds) * 1000;
#else
    timeval value{seconds, 0};
#endif
    setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&value), sizeof value);
}

Handle listenOn(int family, uint16_t port) {
    Native::startUp();
    Handle handle = ::socket(family, socketType, 0);
    if (handle == Native::invalidHandle)
        return Native::invalidHandle;
    const int on = 1;
    const char* onValue = reinterpret_cast<const char*>(&on);
#ifndef _WIN32
    // On Windows this option would let another socket take the port away.
    setsockopt(handle, SOL_SOCKET, SO_REUSEADDR, onValue, sizeof on);
#endif
    sockaddr_storage address{};
    Native::Length size;
    if (family == AF_INET) {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        size = sizeof(sockaddr_in);
    } else {
        setsockopt(handle, IPPROTO_IPV6, IPV6_V6ONLY, onValue, sizeof on);
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        v6->sin6_addr = in6addr_loopback;
        size = sizeof(sockaddr_in6);
    }
    if (::bind(handle, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(handle, 128) != 0) {
        Native::closeHandle(handle);
        return Native::invalidHandle;
    }
    return handle;
}

uint16_t boundPort(Handle handle) {
    sockaddr_in address{};
    Native::Length size = sizeof address;
    getsockname(handle, reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

bool receiveAll(Handle handle, char* data, std::size_t size) {
    while (size > 0) {
        auto got = ::recv(handle, data, int(size), 0);
        if (got < 0 && Native::isInterrupted(Native::lastError()))
            continue;
        if (got <= 0)
            return false;
        data += got;
        size -= std::size_t(got);
    }
    return true;
}

void sendAll(Handle handle, const std::string& bytes) {
    const char* data = bytes.data();
    std::size_t size = bytes.size();
    while (size > 0) {
        auto sent = ::send(handle, data, int(size), sendFlags);
        if (sent < 0 && Native::isInterrupted(Native::lastError()))
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
        if (listenerV4_ == none)
            throw std::runtime_error("test server: cannot listen on 127.0.0.1");
        port_ = boundPort(listenerV4_);
        listenerV6_ = listenOn(AF_INET6, port_);
        if (listenerV6_ != none || port != 0)
            break;
        Native::closeHandle(listenerV4_);
    }
    thread_ = std::thread([this] { run(); });
}

TestStorageServer::~TestStorageServer() { stop(); }

void TestStorageServer::stop() {
    if (stopped_.exchange(true))
        return;
    thread_.join();
    Native::closeHandle(listenerV4_);
    if (listenerV6_ != none)
        Native::closeHandle(listenerV6_);
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
    std::vector<Handle> parked;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        parked.swap(parked_);
    }
    for (Handle handle : parked)
        Native::closeHandle(handle);
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
    while (!stopped_.load()) {
        pollfd entries[2] = {{listenerV4_, POLLIN, 0}, {listenerV6_, POLLIN, 0}};
        unsigned count = listenerV6_ != none ? 2 : 1;
        int ready = pollHandles(entries, count, stopCheckMilliseconds);
        if (ready < 0 && Native::isInterrupted(Native::lastError()))
            continue;
        if (ready < 0)
            return;
        for (unsigned i = 0; i < count && !stopped_.load(); ++i) {
            if (!(entries[i].revents & POLLIN))
                continue;
            Handle connection = acceptConnection(entries[i].fd);
            if (connection != none)
                serve(connection);
        }
    }
}

void TestStorageServer::serve(Handle connection) {
    connections_.fetch_add(1);
    Behaviour behaviour;
    std::string failureText;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        behaviour = behaviour_;
        failureText = failureText_;
    }
    if (behaviour == Behaviour::CloseAtOnce) {
        Native::closeHandle(connection);
        return;
    }
    setReceiveTimeout(connection, idleConnectionSeconds);

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
        Native::closeHandle(connection);
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
    if (behaviour == Behaviour::Trickle) {
        // Stops early when the client has given up or the server stops.
        for (std::size_t i = 0; i < reply.size() && !stopped_.load(); ++i) {
            std::this_thread::sleep_for(trickleInterval_.load());
            if (::send(connection, reply.data() + i, 1, sendFlags) != 1)
                break;
        }
    } else {
        sendAll(connection, reply);
    }
    // Closing first leaves the waiting state on the server's side, not on the client's ports.
    Native::closeHandle(connection);
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
