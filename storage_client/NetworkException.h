#pragma once
// Failures of the socket layer. NetworkException is a misuse or an unsupported request;
// SocketErrorException also carries the operating system's socket error code.

#include <stdexcept>
#include <string>

namespace Kestrel::Networking {

class NetworkException : public std::runtime_error {
public:
    explicit NetworkException(const std::string& message) : std::runtime_error(message) {}
};

class SocketErrorException : public NetworkException {
public:
    SocketErrorException(int errorCode, const std::string& message) : NetworkException(message), errorCode_(errorCode) {}
    int errorCode() const noexcept { return errorCode_; }

private:
    int errorCode_;
};

} // namespace Kestrel::Networking
