#include "storage_client/RemoteProtocol.h"

#include <stdexcept>

#include "interface_contract/Varint.h"

namespace Kestrel::StorageClient::Remote {

using Codec::appendString;
using Codec::appendVarint;
using Codec::RecordReader;

namespace {
constexpr uint64_t formatVersion = 0;
} // namespace

std::string encodeRequestBody(const Request& request) {
    std::string body;
    appendVarint(body, formatVersion);
    body.push_back(char(request.type));
    appendString(body, request.group);
    appendString(body, request.key);
    appendString(body, request.value);
    return body;
}

std::string encodeResponseBody(const Response& response) {
    std::string body;
    appendVarint(body, formatVersion);
    body.push_back(char(response.status));
    appendString(body, response.text);
    return body;
}

Request decodeRequestBody(std::string_view body) {
    RecordReader reader(body);
    if (reader.varint("version") != formatVersion)
        throw std::runtime_error("need VersionConverter implementation");
    Request request;
    request.type = RequestType(reader.byte("type"));
    request.group = reader.string("group");
    request.key = reader.string("key");
    request.value = reader.string("value");
    return request;
}

Response decodeResponseBody(std::string_view body) {
    RecordReader reader(body);
    if (reader.varint("version") != formatVersion)
        throw std::runtime_error("need VersionConverter implementation");
    Response response;
    response.status = reader.byte("status");
    response.text = reader.string("text");
    return response;
}

std::string encodeFrameHeader(uint64_t bodyLength) {
    std::string header(frameHeaderSize, '\0');
    for (std::size_t i = 0; i < frameHeaderSize; ++i)
        header[i] = char(uint8_t(bodyLength >> (8 * i)));
    return header;
}

uint64_t decodeFrameHeader(const char (&header)[frameHeaderSize]) {
    uint64_t length = 0;
    for (std::size_t i = 0; i < frameHeaderSize; ++i)
        length |= uint64_t(uint8_t(header[i])) << (8 * i);
    return length;
}

} // namespace Kestrel::StorageClient::Remote
