#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

#include "interface_contract/ResultCode.h"

namespace Kestrel::InterfaceContract {

// Failure carried across a library boundary as a result code and the thread's last-error message,
// and raised again on the caller's side.
class Exception : public std::exception {
public:
    Exception(ResultCode code, std::string message) : code_(int32_t(code)), message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    ResultCode code() const noexcept { return ResultCode(code_); }
    const std::string& message() const noexcept { return message_; }

private:
    int32_t code_;
    std::string message_;
};

} // namespace Kestrel::InterfaceContract
