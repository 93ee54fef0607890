#include "storage_client/Socket.h"

#include <cerrno>

#include "storage_client/NetworkException.h"

namespace Kestrel::Networking {

namespace {
#if defined(MSG_NOSIGNAL)
// A peer that has gone must give an error, not the signal that ends the process.
constexpr int sendFlags = MSG_NOSIGNAL;
#else
constexpr int sendFlags = 0;
#endif
// Large buffers are moved in pieces that every send/recv length type can hold.
constexpr std::size_t maximumChunk = 1 << 30;
} // namespace

Socket::Socket(AddressFamily family, SocketType type, ProtocolType protocol) {
    Native::startUp();
    handle_ = ::socket(nativeAddressFamily(family), nativeSocketType(type), nativeProtocol(protocol));
    if (handle_ == Native::invalidHandle)
        throw SocketErrorException(Native::lastError(), "Failed to create socket");
#if defined(SO_NOSIGPIPE)
    int on = 1;
    setsockopt(handle_, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
}

Socket::Socket(Native::Handle connected) : handle_(connected) {}

Socket::~Socket() { close(); }

Native::Handle Socket::validHandle() const {
    if (handle_ == Native::invalidHandle)
        throw SocketErrorException(0, "Socket handle invalid");
    return handle_;
}

bool Socket::connect(const EndPoint& endPoint, std::chrono::milliseconds timeout) {
    Native::Handle handle = validHandle();
    if (!Native::setBlocking(handle, false))
        return false;
    if (::connect(handle, endPoint.nativeAddress(), Native::Length(endPoint.nativeAddressSize())) == 0)
        return Native::setBlocking(handle, true);
    int error = Native::lastError();
    if (!Native::isConnectInProgress(error)) {
        lastError_ = error;
        return false;
    }
    if (Native::waitWritable(handle, int(timeout.count())) != 1)
        return false;
    // A refused connection also wakes the wait on POSIX systems; only the pending error tells.
    int pending = getOption(SocketOptionLevel::Socket, SocketOptionName::Error);
    if (pending != 0) {
        lastError_ = pending;
        return false;
    }
    return Native::setBlocking(handle, true);
}

void Socket::setOption(SocketOptionLevel level, SocketOptionName name, int value) {
    Native::Handle handle = validHandle();
    if (setsockopt(handle, nativeOptionLevel(level), nativeOptionName(name), reinterpret_cast<const char*>(&value),
                   Native::Length(sizeof value)) != 0)
        throw SocketErrorException(Native::lastError(), "Failed to set socket option");
}

int Socket::getOption(SocketOptionLevel level, SocketOptionName name) {
    Native::Handle handle = validHandle();
    int value = 0;
    Native::Length size = sizeof value;
    if (getsockopt(handle, nativeOptionLevel(level), nativeOptionName(name), reinterpret_cast<char*>(&value), &size) !=
        0)
        throw SocketErrorException(Native::lastError(), "Failed to get socket option");
    return value;
}

void Socket::setTimeout(SocketOptionName name, std::chrono::milliseconds timeout) {
    if (!applyTimeout(nativeOptionName(name), timeout))
        throw SocketErrorException(Native::lastError(), "Failed to set socket option");
    if (name == SocketOptionName::ReceiveTimeout)
        receiveTimeout_ = timeout;
    else if (name == SocketOptionName::SendTimeout)
        sendTimeout_ = timeout;
}

void Socket::setDeadline(std::chrono::steady_clock::time_point deadline) {
    deadline_ = deadline;
    hasDeadline_ = true;
}

bool Socket::limitNextWait(SocketOptionName name) {
    if (!hasDeadline_)
        return true;
    using namespace std::chrono;
    const auto left = deadline_ - steady_clock::now();
    if (left <= steady_clock::duration::zero()) {
        lastError_ = Native::timedOutError();
        return false;
    }
    // Rounded up: a wait of 0 would mean no limit at all.
    milliseconds wait = duration_cast<milliseconds>(left) + milliseconds(1);
    const milliseconds perCall = name == SocketOptionName::ReceiveTimeout ? receiveTimeout_ : sendTimeout_;
    if (perCall.count() > 0 && perCall < wait)
        wait = perCall;
    if (!applyTimeout(nativeOptionName(name), wait)) {
        lastError_ = Native::lastError();
        return false;
    }
    return true;
}

bool Socket::applyTimeout(int option, std::chrono::milliseconds timeout) {
    Native::Handle handle = validHandle();
#ifdef _WIN32
    DWORD value = DWORD(timeout.count());
#else
    timeval value{time_t(timeout.count() / 1000), suseconds_t((timeout.count() % 1000) * 1000)};
#endif
    return setsockopt(handle, SOL_SOCKET, option, reinterpret_cast<const char*>(&value), Native::Length(sizeof value)) == 0;
}

void Socket::setBlocking(bool blocking) {
    if (!Native::setBlocking(validHandle(), blocking))
        throw SocketErrorException(Native::lastError(), "Failed to set socket option");
}

bool Socket::send(const void* data, std::size_t size) {
    if (!data)
        throw NetworkException("Unable to send null buffer in socket");
    Native::Handle handle = validHandle();
    auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        std::size_t chunk = size < maximumChunk ? size : maximumChunk;
        if (!limitNextWait(SocketOptionName::SendTimeout))
            return false;
        auto sent = ::send(handle, bytes, static_cast<int>(chunk), sendFlags);
        if (sent < 0) {
            int error = Native::lastError();
            if (Native::isInterrupted(error))
                continue;
            lastError_ = error;
            return false;
        }
        bytes += sent;
        size -= std::size_t(sent);
    }
    return true;
}

bool Socket::receive(void* data, std::size_t size) {
    Native::Handle handle = validHandle();
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        std::size_t chunk = size < maximumChunk ? size : maximumChunk;
        if (!limitNextWait(SocketOptionName::ReceiveTimeout))
            return false;
        auto received = ::recv(handle, bytes, static_cast<int>(chunk), 0);
        if (received == 0) {
            lastError_ = 0;
            return false;
        }
        if (received < 0) {
            int error = Native::lastError();
            if (Native::isInterrupted(error))
                continue;
            lastError_ = error;
            return false;
        }
        bytes += received;
        size -= std::size_t(received);
    }
    return true;
}

void Socket::shutdown(ShutdownMode mode) {
    Native::Handle handle = validHandle();
#ifdef _WIN32
    int how = mode == ShutdownMode::Receive ? SD_RECEIVE : mode == ShutdownMode::Send ? SD_SEND : SD_BOTH;
#else
    int how = mode == ShutdownMode::Receive ? SHUT_RD : mode == ShutdownMode::Send ? SHUT_WR : SHUT_RDWR;
#endif
    if (::shutdown(handle, how) != 0)
        throw SocketErrorException(Native::lastError(), "Failed to shut down socket");
}

void Socket::close() {
    if (handle_ == Native::invalidHandle)
        return;
    Native::closeHandle(handle_);
    handle_ = Native::invalidHandle;
}

} // namespace Kestrel::Networking
