#include "storage_client/RemoteStorageClient.h"

#include <algorithm>

#include "storage_client/ErrorReport.h"
#include "storage_client/NetworkException.h"
#include "storage_client/TcpClient.h"

namespace Kestrel::StorageClient {

using Networking::SocketOptionLevel;
using Networking::SocketOptionName;
using Remote::Request;
using Remote::RequestType;
using Remote::Response;

RemoteStorageClient::RemoteStorageClient(std::string address, uint32_t port)
    : address_(std::move(address)), port_(port) {}

std::string RemoteStorageClient::read(const std::string& group, const std::string& key) {
    if (!exists())
        return {};
    Response response = sendMessage({RequestType::Read, group, key, {}});
    if (!response.succeeded())
        KESTREL_RAISE_REPORT("Kestrel::StorageClient::RemoteStorageClient::read", response.text);
    return response.text;
}

void RemoteStorageClient::write(const std::string& group, const std::string& key, const std::string& value) {
    Response response = sendMessage({RequestType::Write, group, key, value});
    if (!response.succeeded())
        KESTREL_RAISE_REPORT("Kestrel::StorageClient::RemoteStorageClient::write", response.text);
}

void RemoteStorageClient::remove(const std::string& group, const std::string& key) {
    Response response = sendMessage({RequestType::Remove, group, key, {}});
    if (!response.succeeded())
        KESTREL_RAISE_REPORT("Kestrel::StorageClient::RemoteStorageClient::remove", response.text);
}

std::string RemoteStorageClient::next(const std::string& group, const std::string& key) {
    Response response = sendMessage({RequestType::Next, group, key, {}});
    if (!response.succeeded())
        KESTREL_RAISE_REPORT("Kestrel::StorageClient::RemoteStorageClient::next", response.text);
    return response.text;
}

bool RemoteStorageClient::exists() {
    try {
        return sendMessage({RequestType::Exists, {}, {}, {}}).succeeded();
    } catch (const std::exception&) {
        return false;
    }
}

Response RemoteStorageClient::sendMessage(const Request& request) const {
    static constexpr const char* function = "Kestrel::StorageClient::RemoteStorageClient::sendMessage";
    if (address_.find('\0') != std::string::npos)
        throw Networking::NetworkException("hostname is invalid or requires DNS lookup, which is not supported yet");

    Networking::TcpClient client;
    if (!client.connect(address_.c_str(), port_, connectTimeout))
        KESTREL_RAISE_REPORT(function, "Failed to connect to tcp server");

    const std::string body = Remote::encodeRequestBody(request);
    Networking::Socket& socket = client.socket();
    socket.setTimeout(SocketOptionName::ReceiveTimeout, transferTimeout);
    socket.setTimeout(SocketOptionName::SendTimeout, transferTimeout);
    // The same limit for the whole exchange: a server that trickles its bytes cannot stretch it.
    socket.setDeadline(std::chrono::steady_clock::now() + exchangeTimeout);
    // A made connection is already back in blocking mode.
    // Length and body go out as two sends; without this the second waits for the server's
    // delayed acknowledgement of the first.
    socket.setOption(SocketOptionLevel::Tcp, SocketOptionName::NoDelay, 1);

    const std::string header = Remote::encodeFrameHeader(body.size());
    if (!socket.send(header.data(), header.size()))
        KESTREL_RAISE_REPORT(function, "Failed to send message size");
    if (!socket.send(body.data(), body.size()))
        KESTREL_RAISE_REPORT(function, "Failed to send message");

    char responseHeader[Remote::frameHeaderSize];
    if (!socket.receive(responseHeader, sizeof responseHeader))
        KESTREL_RAISE_REPORT(function, "Failed to get response");
    const uint64_t length = Remote::decodeFrameHeader(responseHeader);
    if (length > Remote::maximumResponseLength)
        KESTREL_RAISE_REPORT(function, "Failed to get response");
    // Received in pieces, the buffer growing with what arrives: a server that announces 16 MiB
    // and sends a few bytes costs no more memory than those bytes.
    static constexpr uint64_t piece = 64 * 1024;
    std::string responseBody;
    for (uint64_t received = 0; received < length;) {
        const std::size_t size = std::size_t(std::min(piece, length - received));
        responseBody.resize(std::size_t(received) + size);
        if (!socket.receive(responseBody.data() + received, size))
            KESTREL_RAISE_REPORT(function, "Failed to get response");
        received += size;
    }

    client.close();
    return Remote::decodeResponseBody(responseBody);
}

} // namespace Kestrel::StorageClient
