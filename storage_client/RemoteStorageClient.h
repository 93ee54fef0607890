#pragma once
// Storage on a TCP storage server. Every operation is one exchange on a fresh connection, so
// one client may serve several threads at once.

#include <chrono>
#include <cstdint>
#include <string>

#include "storage_client/BasicStorageClient.h"
#include "storage_client/RemoteProtocol.h"

namespace Kestrel::StorageClient {

class RemoteStorageClient final : public BasicStorageClient {
public:
    static constexpr std::chrono::milliseconds connectTimeout{3000};
    static constexpr std::chrono::milliseconds transferTimeout{10000};
    // Sending the request and receiving the whole answer, after the connection is made.
    static constexpr std::chrono::milliseconds exchangeTimeout{10000};

    RemoteStorageClient(std::string address, uint32_t port);

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
    std::string address_;
    uint32_t port_;
};

} // namespace Kestrel::StorageClient
