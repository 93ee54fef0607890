#pragma once
// An IPv4 or IPv6 address with a port. Only numeric addresses are understood: there is no name
// resolution.

#include <cstdint>
#include <optional>
#include <string_view>

#include "storage_client/EndPoint.h"
#include "storage_client/NativeSocket.h"

namespace Kestrel::Networking {

class IPEndPoint final : public EndPoint {
public:
    // The end point of a numeric IPv4 ("127.0.0.1") or IPv6 ("::1", no brackets) address, or
    // nothing when `address` is neither.
    static std::optional<IPEndPoint> parse(std::string_view address, uint16_t port);

    AddressFamily addressFamily() const override;
    const sockaddr* nativeAddress() const override;
    int nativeAddressSize() const override;  // 16 for IPv4, 28 for IPv6
    std::string toString() const override;   // "1.2.3.4:5" or "[::1]:5"
    uint16_t port() const;

private:
    IPEndPoint() = default;
    sockaddr_storage address_{};
};

} // namespace Kestrel::Networking
