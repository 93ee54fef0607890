#include "storage_client/TcpClient.h"

#include <cstring>

#include "storage_client/IPEndPoint.h"
#include "storage_client/NetworkException.h"

namespace Kestrel::Networking {

TcpClient::~TcpClient() { close(); }

bool TcpClient::connect(const char* hostname, uint32_t port, std::chrono::milliseconds timeout) {
    if (closed_)
        throw NetworkException("Client closed, cannot reuse client!");
    if (!hostname)
        throw NetworkException("hostname is null");
    if (socket_)
        throw NetworkException("Already connected");
    std::optional<IPEndPoint> endPoint = IPEndPoint::parse(std::string_view(hostname, std::strlen(hostname)), 0);
    if (!endPoint)
        throw NetworkException("hostname is invalid or requires DNS lookup, which is not supported yet");
    if (port > 0xFFFF)
        throw NetworkException("port is out of range");
    endPoint = IPEndPoint::parse(hostname, uint16_t(port));

    auto socket = std::make_unique<Socket>(endPoint->addressFamily(), SocketType::Stream, ProtocolType::Tcp);
    if (!socket->connect(*endPoint, timeout))
        return false;
    socket_ = std::move(socket);
    return true;
}

Socket& TcpClient::socket() {
    if (!socket_)
        throw NetworkException("Not connected");
    return *socket_;
}

void TcpClient::close() {
    closed_ = true;
    socket_.reset();
}

} // namespace Kestrel::Networking
