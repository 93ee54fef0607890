#include "storage_client/IPEndPoint.h"

#include <cstring>
#include <string>

namespace Kestrel::Networking {

std::optional<IPEndPoint> IPEndPoint::parse(std::string_view address, uint16_t port) {
    // inet_pton reads a terminated string, so an embedded NUL must not cut the text short.
    if (address.empty() || address.find('\0') != std::string_view::npos)
        return std::nullopt;
    const std::string text(address);
    IPEndPoint endPoint;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&endPoint.address_);
    if (inet_pton(AF_INET, text.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        return endPoint;
    }
    endPoint.address_ = {};
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&endPoint.address_);
    if (inet_pton(AF_INET6, text.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        return endPoint;
    }
    return std::nullopt;
}

AddressFamily IPEndPoint::addressFamily() const {
    return address_.ss_family == AF_INET6 ? AddressFamily::InterNetworkV6 : AddressFamily::InterNetwork;
}

const sockaddr* IPEndPoint::nativeAddress() const { return reinterpret_cast<const sockaddr*>(&address_); }

int IPEndPoint::nativeAddressSize() const {
    return address_.ss_family == AF_INET6 ? int(sizeof(sockaddr_in6)) : int(sizeof(sockaddr_in));
}

uint16_t IPEndPoint::port() const {
    if (address_.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&address_)->sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in*>(&address_)->sin_port);
}

std::string IPEndPoint::toString() const {
    char text[INET6_ADDRSTRLEN] = {};
    if (address_.ss_family == AF_INET6) {
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&address_)->sin6_addr, text, sizeof text);
        return "[" + std::string(text) + "]:" + std::to_string(port());
    }
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&address_)->sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(port());
}

} // namespace Kestrel::Networking
