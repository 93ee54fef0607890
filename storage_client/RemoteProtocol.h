#pragma once
// Wire format of the TCP storage server.
//
// Every exchange is one frame each way: an 8-byte little-endian body length, then the body.
// Request body:  varint version (0), 1 byte type, string group, string key, string value.
// Response body: varint version (0), 1 byte status (1 = success), string text.
// A string is a varint byte count followed by the bytes.

#include <cstdint>
#include <string>
#include <string_view>

namespace Kestrel::StorageClient::Remote {

enum class RequestType : uint8_t { Read = 0, Write = 1, Remove = 2, Next = 3, Exists = 4 };

constexpr uint8_t statusSuccess = 1;
constexpr std::size_t frameHeaderSize = 8;
// Storage values are small; a larger announced response is refused before anything is
// allocated for it.
constexpr uint64_t maximumResponseLength = 16u << 20;

struct Request {
    RequestType type;
    std::string group;
    std::string key;
    std::string value;
};

struct Response {
    uint8_t status = 0;
    std::string text;
    bool succeeded() const { return status == statusSuccess; }
};

std::string encodeRequestBody(const Request& request);
std::string encodeResponseBody(const Response& response);
// Decoders raise std::runtime_error for a body that ends early; a response of another version
// raises "need VersionConverter implementation".
Request decodeRequestBody(std::string_view body);
Response decodeResponseBody(std::string_view body);

std::string encodeFrameHeader(uint64_t bodyLength);
uint64_t decodeFrameHeader(const char (&header)[frameHeaderSize]);

} // namespace Kestrel::StorageClient::Remote
