#pragma once
// One owned socket handle: creation, options, connect with a timeout, and sends and receives
// that move a whole buffer or fail. The handle is closed on destruction.

#include <chrono>
#include <cstddef>

#include "storage_client/EndPoint.h"
#include "storage_client/NativeSocket.h"
#include "storage_client/SocketOptions.h"

namespace Kestrel::Networking {

class Socket {
public:
    // SocketErrorException "Failed to create socket" when the system refuses.
    Socket(AddressFamily family, SocketType type, ProtocolType protocol);
    // Takes ownership of a handle that is already connected (one end of a socket pair).
    explicit Socket(Native::Handle connected);
    ~Socket();
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // Connects within `timeout` by a non-blocking connect; true when connected, then the socket
    // is blocking again. False when refused, failed or timed out.
    bool connect(const EndPoint& endPoint, std::chrono::milliseconds timeout);

    // Option changes raise SocketErrorException "Failed to set socket option", reads "Failed to
    // get socket option"; every operation on a closed socket raises "Socket handle invalid".
    void setOption(SocketOptionLevel level, SocketOptionName name, int value);
    int getOption(SocketOptionLevel level, SocketOptionName name);
    // SO_RCVTIMEO / SO_SNDTIMEO in milliseconds (0 waits forever): the longest one system call
    // of a send or receive may wait.
    void setTimeout(SocketOptionName name, std::chrono::milliseconds timeout);
    // From now on every send and receive ends by `deadline`, however the peer paces its bytes:
    // each system call waits at most the time left (or its timeout, when that is shorter), and
    // once the deadline has passed they fail with the system's timed-out error.
    void setDeadline(std::chrono::steady_clock::time_point deadline);
    void setBlocking(bool blocking);

    // Sends every byte of the buffer; false on an error (see lastError). A null buffer raises
    // NetworkException "Unable to send null buffer in socket".
    bool send(const void* data, std::size_t size);
    // Receives exactly `size` bytes; false on an error, a timeout or the peer closing first.
    bool receive(void* data, std::size_t size);

    // SocketErrorException "Failed to shut down socket".
    void shutdown(ShutdownMode mode);
    void close();

    bool isValid() const { return handle_ != Native::invalidHandle; }
    // The system error code of the last failed send or receive (0 for a closed peer).
    int lastError() const { return lastError_; }
    Native::Handle handle() const { return handle_; }

private:
    Native::Handle validHandle() const;
    // Sets the wait of the next system call from the deadline; false when no time is left.
    bool limitNextWait(SocketOptionName name);
    bool applyTimeout(int option, std::chrono::milliseconds timeout);

    Native::Handle handle_ = Native::invalidHandle;
    int lastError_ = 0;
    std::chrono::milliseconds receiveTimeout_{0};
    std::chrono::milliseconds sendTimeout_{0};
    std::chrono::steady_clock::time_point deadline_{};
    bool hasDeadline_ = false;
};

} // namespace Kestrel::Networking
