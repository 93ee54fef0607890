#include "storage_client/NativeSocket.h"

#include <chrono>

#ifndef _WIN32
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#endif

namespace Kestrel::Networking::Native {

#ifdef _WIN32

void startUp() {
    // Never cleaned up: sockets may still close during static destruction.
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

int lastError() { return WSAGetLastError(); }
bool isConnectInProgress(int error) { return error == WSAEWOULDBLOCK; }
bool isInterrupted(int error) { return error == WSAEINTR; }
int timedOutError() { return WSAETIMEDOUT; }
int closeHandle(Handle handle) { return closesocket(handle); }

bool setBlocking(Handle handle, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    return ioctlsocket(handle, FIONBIO, &nonBlocking) == 0;
}

int waitWritable(Handle handle, int milliseconds) {
    // A failed connect shows in the exception set, a made one in the write set.
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(handle, &writable);
    FD_SET(handle, &failed);
    timeval timeout{milliseconds / 1000, (milliseconds % 1000) * 1000};
    int ready = select(0, nullptr, &writable, &failed, &timeout);
    if (ready <= 0)
        return ready < 0 ? -1 : 0;
    return FD_ISSET(handle, &writable) ? 1 : -1;
}

#else

void startUp() {}
int lastError() { return errno; }
bool isConnectInProgress(int error) { return error == EINPROGRESS || error == EWOULDBLOCK || error == EINTR; }
bool isInterrupted(int error) { return error == EINTR; }
int timedOutError() { return ETIMEDOUT; }
int closeHandle(Handle handle) { return ::close(handle); }

bool setBlocking(Handle handle, bool blocking) {
    int flags = fcntl(handle, F_GETFL, 0);
    if (flags < 0)
        return false;
    flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return fcntl(handle, F_SETFL, flags) == 0;
}

int waitWritable(Handle handle, int milliseconds) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left < 0)
            left = 0;
        pollfd entry{handle, POLLOUT, 0};
        int ready = poll(&entry, 1, int(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return ready;
        return (entry.revents & POLLOUT) ? 1 : -1;
    }
}

#endif

} // namespace Kestrel::Networking::Native
