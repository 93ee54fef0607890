#pragma once
// A storage server for tests: speaks the storage frames on 127.0.0.1 and ::1 at one port
// (ephemeral unless given), keeps values in memory and can be told to misbehave.
//
// Connections are served one after another on the server's thread, which keeps it fast for
// benchmarks; a connection that is to get no answer is parked open until the behaviour changes
// or the server stops.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "storage_client/NativeSocket.h"
#include "storage_client/RemoteProtocol.h"

namespace StorageTest {

enum class Behaviour {
    Normal,
    NeverAnswer,     // reads the request, then keeps the connection open without answering
    CloseAtOnce,     // closes every connection as soon as it is accepted
    AnswerVersion1,  // answers the body 01 01 00
    AnswerFailure,   // answers status 0 with the failure text (exists requests still succeed)
    HugeLength,      // announces a body of hugeLength bytes, sends nothing more and closes
    Trickle,         // answers as Normal, one byte at a time, trickleInterval apart
};

class TestStorageServer {
public:
    // Listens on both loopback addresses; throws std::runtime_error when it cannot.
    explicit TestStorageServer(uint16_t port = 0);
    ~TestStorageServer();
    TestStorageServer(const TestStorageServer&) = delete;
    TestStorageServer& operator=(const TestStorageServer&) = delete;

    uint16_t port() const { return port_; }
    bool hasIPv6() const { return listenerV6_ != none; }

    void setBehaviour(Behaviour behaviour, std::string failureText = {});
    void setHugeLength(uint64_t length) { hugeLength_ = length; }
    void setTrickleInterval(std::chrono::milliseconds interval) { trickleInterval_ = interval; }
    // Closes the listeners and every parked connection; later connects are refused.
    void stop();

    // Every request frame received so far (8-byte length and body, as they came).
    std::vector<std::string> receivedFrames() const;
    std::size_t connectionCount() const { return connections_.load(); }

    // The stored values, group then key, kept in key order (which `next` follows).
    std::map<std::string, std::map<std::string, std::string>> values() const;
    void setValue(const std::string& group, const std::string& key, const std::string& value);

private:
    using Handle = Kestrel::Networking::Native::Handle;
    static constexpr Handle none = Kestrel::Networking::Native::invalidHandle;

    void run();
    void serve(Handle connection);
    Kestrel::StorageClient::Remote::Response answer(const Kestrel::StorageClient::Remote::Request& request);
    void closeParked();

    uint16_t port_ = 0;
    Handle listenerV4_ = none;
    Handle listenerV6_ = none;
    std::thread thread_;
    std::atomic<bool> stopped_{false};
    std::atomic<std::size_t> connections_{0};
    std::atomic<uint64_t> hugeLength_{uint64_t(1) << 40};
    std::atomic<std::chrono::milliseconds> trickleInterval_{std::chrono::milliseconds(100)};

    mutable std::mutex mutex_;
    Behaviour behaviour_ = Behaviour::Normal;
    std::string failureText_;
    std::vector<std::string> frames_;
    std::vector<Handle> parked_;
    std::map<std::string, std::map<std::string, std::string>> values_;
};

} // namespace StorageTest
