#include "storage_client/SocketOptions.h"

#include "storage_client/NativeSocket.h"
#include "storage_client/NetworkException.h"

namespace Kestrel::Networking {

int nativeOptionLevel(SocketOptionLevel level) {
    switch (level) {
    case SocketOptionLevel::IP:
        return IPPROTO_IP;
    case SocketOptionLevel::Tcp:
        return IPPROTO_TCP;
    case SocketOptionLevel::Udp:
        return IPPROTO_UDP;
    case SocketOptionLevel::IPv6:
        return IPPROTO_IPV6;
    case SocketOptionLevel::Socket:
        return SOL_SOCKET;
    }
    throw NetworkException("Unknown socket level option! Cannot convert!");
}

int nativeOptionName(SocketOptionName name) {
    switch (name) {
    case SocketOptionName::ReuseAddress:
        return SO_REUSEADDR;
    case SocketOptionName::KeepAlive:
        return SO_KEEPALIVE;
    case SocketOptionName::Error:
        return SO_ERROR;
    case SocketOptionName::ReceiveTimeout:
        return SO_RCVTIMEO;
    case SocketOptionName::SendTimeout:
        return SO_SNDTIMEO;
    case SocketOptionName::NoDelay:
        return TCP_NODELAY;
    case SocketOptionName::IPv6Only:
        return IPV6_V6ONLY;
    }
    throw NetworkException("Unknown socket option name! Cannot convert!");
}

int nativeAddressFamily(AddressFamily family) {
    return family == AddressFamily::InterNetworkV6 ? AF_INET6 : AF_INET;
}

int nativeSocketType(SocketType type) { return type == SocketType::Datagram ? SOCK_DGRAM : SOCK_STREAM; }

int nativeProtocol(ProtocolType protocol) { return protocol == ProtocolType::Udp ? IPPROTO_UDP : IPPROTO_TCP; }

} // namespace Kestrel::Networking
