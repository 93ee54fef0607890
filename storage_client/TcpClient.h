#pragma once
// A TCP connection to a numeric IPv4 or IPv6 address, used for one exchange and then closed.

#include <chrono>
#include <cstdint>
#include <memory>

#include "storage_client/Socket.h"

namespace Kestrel::Networking {

class TcpClient {
public:
    TcpClient() = default;
    ~TcpClient();
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    // Connects within `timeout`; false when the connection is not made. Raises
    // NetworkException, in this order of checks, for a closed client ("Client closed, cannot
    // reuse client!"), a null `hostname` ("hostname is null"), a connected client ("Already
    // connected"), a host that is not a numeric address ("hostname is invalid or requires DNS
    // lookup, which is not supported yet") and a port above 65535 ("port is out of range").
    bool connect(const char* hostname, uint32_t port, std::chrono::milliseconds timeout);

    bool isConnected() const { return socket_ != nullptr; }
    // The connected socket; NetworkException "Not connected" before a connection is made.
    Socket& socket();
    // Closes the connection; the client cannot connect again.
    void close();

private:
    std::unique_ptr<Socket> socket_;
    bool closed_ = false;
};

} // namespace Kestrel::Networking
