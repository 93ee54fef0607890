#pragma once
// Storage on a TCP storage server. Every operation is one exchange on a fresh connection, so
// one client may serve several threads at once.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "storage_client/BasicStorageClient.h"
#include "storage_client/RemoteProtocol.h"
#include "storage_client/Socket.h"

namespace Kestrel::StorageClient {

class RemoteStorageClient final : public BasicStorageClient {
public:
    static constexpr std::chrono::milliseconds connectTimeout{3000};
    static constexpr std::chrono::milliseconds transferTimeout{10000};
    // Sending the request and receiving the whole answer, after the connection is made.
    static constexpr std::chrono::milliseconds exchangeTimeout{10000};

    RemoteStorageClient(std::string address, uint32_t port);
    // Gives each exchange a connected socket (nullptr when the connection fails): a server in
    // the same process, at the other end of a socket pair, for the fuzzer and for tests.
    using Connector = std::function<std::unique_ptr<Networking::Socket>()>;
    explicit RemoteStorageClient(Connector connect);

    // An unreachable server reads as an empty value; the other operations raise reports.
    std::string read(const std::string& group, const std::string& key) override;
    void write(const std::string& group, const std::string& key, const std::string& value) override;
    void remove(const std::string& group, const std::string& key) override;
    std::string next(const std::string& group, const std::string& key) override;
    // False for a failure answer and for any failure of the exchange.
    bool exists() override;

    // One exchange: connect, send the request frame, receive the response frame, close.
    Remote::Response sendMessage(const Remote::Request& request) const;

    using BasicStorageClient::exists;
    using BasicStorageClient::next;
    using BasicStorageClient::read;
    using BasicStorageClient::remove;
    using BasicStorageClient::write;

private:
    // The exchange on a connected socket: sends the request frame and receives the response
    // frame, all within exchangeTimeout.
    static Remote::Response exchange(Networking::Socket& socket, const Remote::Request& request);

    std::string address_;
    uint32_t port_ = 0;
    Connector connect_;
};

} // namespace Kestrel::StorageClient
