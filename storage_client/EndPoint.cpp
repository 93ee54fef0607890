#include "storage_client/EndPoint.h"

#include "storage_client/NetworkException.h"

namespace Kestrel::Networking {

namespace {
[[noreturn]] void notOverridden() { throw NetworkException("Method must be overridden"); }
} // namespace

AddressFamily EndPoint::addressFamily() const { notOverridden(); }
const sockaddr* EndPoint::nativeAddress() const { notOverridden(); }
int EndPoint::nativeAddressSize() const { notOverridden(); }
std::string EndPoint::toString() const { notOverridden(); }

} // namespace Kestrel::Networking
