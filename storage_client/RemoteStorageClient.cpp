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

RemoteStorageClient::RemoteStorageClient(Connector connect) : connect_(std::move(connect)) {}

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

namespace {
constexpr const char* sendMessageFunction = "Kestrel::StorageClient::RemoteStorageClient::sendMessage";
} // namespace

Response RemoteStorageClient::sendMessage(const Request& request) const {
    if (connect_) {
        const std::unique_ptr<Networking::Socket> socket = connect_();
        if (!socket)
            KESTREL_RAISE_REPORT(sendMessageFunction, "Failed to connect to tcp server");
        return exchange(*socket, request);
    }
    if (address_.find('\0') != std::string::npos)
        throw Networking::NetworkException("hostname is invalid or requires DNS lookup, which is not supported yet");

    Networking::TcpClient client;
    if (!client.connect(address_.c_str(), port_, connectTimeout))
        KESTREL_RAISE_REPORT(sendMessageFunction, "Failed to connect to tcp server");
    // A made connection is already back in blocking mode.
    // Length and body go out as two sends; without this the second waits for the server's
    // delayed acknowledgement of the first.
    client.socket().setOption(SocketOptionLevel::Tcp, SocketOptionName::NoDelay, 1);
    Response response = exchange(client.socket(), request);
    client.close();
    return response;
}

Response RemoteStorageClient::exchange(Networking::Socket& socket, const Request& request) {
    const std::string body = Remote::encodeRequestBody(request);
    socket.setTimeout(SocketOptionName::ReceiveTimeout, transferTimeout);
    socket.setTimeout(SocketOptionName::SendTimeout, transferTimeout);
    // The same limit for the whole exchange: a server that trickles its bytes cannot stretch it.
    socket.setDeadline(std::chrono::steady_clock::now() + exchangeTimeout);

    const std::string header = Remote::encodeFrameHeader(body.size());
    if (!socket.send(header.data(), header.size()))
        KESTREL_RAISE_REPORT(sendMessageFunction, "Failed to send message size");
    if (!socket.send(body.data(), body.size()))
        KESTREL_RAISE_REPORT(sendMessageFunction, "Failed to send message");

    char responseHeader[Remote::frameHeaderSize];
    if (!socket.receive(responseHeader, sizeof responseHeader))
        KESTREL_RAISE_REPORT(sendMessageFunction, "Failed to get response");
    const uint64_t length = Remote::decodeFrameHeader(responseHeader);
    if (length > Remote::maximumResponseLength)
        KESTREL_RAISE_REPORT(sendMessageFunction, "Failed to get response");
    // Received in pieces, the buffer growing with what arrives (each piece as large as what came
    // before it, the first 4 KiB): a server that announces 16 MiB and sends a few bytes costs
    // about twice those bytes of memory, not 16 MiB.
    std::string responseBody;
    for (uint64_t received = 0; received < length;) {
        const std::size_t size = std::size_t(std::min(std::max<uint64_t>(received, 4096), length - received));
        responseBody.resize(std::size_t(received) + size);
        if (!socket.receive(responseBody.data() + received, size))
            KESTREL_RAISE_REPORT(sendMessageFunction, "Failed to get response");
        received += size;
    }
    return Remote::decodeResponseBody(responseBody);
}

} // namespace Kestrel::StorageClient
