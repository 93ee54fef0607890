#pragma once
// Portable names of socket option levels and options, and their conversion to the operating
// system's values. The level values are those of Winsock; on other systems the socket level
// is not 0xFFFF, hence the conversion.

#include <cstdint>

namespace Kestrel::Networking {

enum class AddressFamily : int32_t { InterNetwork, InterNetworkV6 };
enum class SocketType : int32_t { Stream, Datagram };
enum class ProtocolType : int32_t { Tcp, Udp };
enum class ShutdownMode : int32_t { Receive, Send, Both };

enum class SocketOptionLevel : int32_t {
    IP = 0,
    Tcp = 6,
    Udp = 17,
    IPv6 = 41,
    Socket = 0xFFFF,
};

enum class SocketOptionName : int32_t {
    ReuseAddress,
    KeepAlive,
    Error,
    ReceiveTimeout,
    SendTimeout,
    NoDelay,
    IPv6Only,
};

// Native level of `level`; NetworkException "Unknown socket level option! Cannot convert!"
// for any other value.
int nativeOptionLevel(SocketOptionLevel level);
// Native option of `name`; NetworkException "Unknown socket option name! Cannot convert!".
int nativeOptionName(SocketOptionName name);

int nativeAddressFamily(AddressFamily family);
int nativeSocketType(SocketType type);
int nativeProtocol(ProtocolType protocol);

} // namespace Kestrel::Networking
