#pragma once
// Address of a socket's peer. The base class only fixes the operations; each one raises
// NetworkException "Method must be overridden" unless a subclass implements it.

#include <string>

#include "storage_client/SocketOptions.h"

struct sockaddr;

namespace Kestrel::Networking {

class EndPoint {
public:
    virtual ~EndPoint() = default;
    virtual AddressFamily addressFamily() const;
    // The native socket address and its size in bytes, valid while the end point lives.
    virtual const sockaddr* nativeAddress() const;
    virtual int nativeAddressSize() const;
    virtual std::string toString() const;
};

} // namespace Kestrel::Networking
