// The TCP storage client against the test server: exchanges, wire bytes, error reports and a
// server that misbehaves or is gone.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <chrono>
#include <thread>

#include "TestStorageServer.h"
#include "interface_contract/ErrorBoundary.h"
#include "interface_contract/Marshal.h"
#include "storage_client/NetworkException.h"
#include "storage_client/RemoteStorageClient.h"

using namespace Kestrel::StorageClient;
using namespace std::chrono_literals;
using StorageTest::Behaviour;
using StorageTest::TestStorageServer;

namespace {

template <class F>
std::string errorOf(F&& operation) {
    try {
        operation();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

std::string lastLine(const std::string& text) { return text.substr(text.rfind('\n') + 1); }
std::string functionLine(const std::string& text) {
    auto start = text.find("\tfunction: ");
    return start == std::string::npos ? std::string() : text.substr(start, text.find('\n', start) - start);
}

uint16_t stoppedServerPort() {
    TestStorageServer server;
    return server.port();
}

class RemoteClient : public ::testing::Test {
protected:
    TestStorageServer server;
    RemoteStorageClient client{"127.0.0.1", server.port()};
};

TEST_F(RemoteClient, RoundTripOverIPv4AndIPv6) {
    client.write("environment", "default", "CODE");
    client.write("environment", "room", std::string("bin\0ary", 7));
    EXPECT_EQ("CODE", client.read("environment", "default"));
    EXPECT_EQ(std::string("bin\0ary", 7), client.read("environment", "room"));
    EXPECT_EQ("default", client.next("environment", ""));
    EXPECT_EQ("room", client.next("environment", "default"));
    EXPECT_EQ("", client.next("environment", "room"));
    client.remove("environment", "room");
    EXPECT_EQ("", client.next("environment", "default"));
    EXPECT_TRUE(client.exists());

    if (!server.hasIPv6())
        GTEST_SKIP() << "no IPv6 loopback";
    RemoteStorageClient v6("::1", server.port());
    EXPECT_EQ("CODE", v6.read("environment", "default"));
}

// A value of several receive pieces (4 KiB, then as large as what came before) and a part
// piece comes back byte for byte.
TEST_F(RemoteClient, ALargeValueArrivesWhole) {
    std::string value(3 * 65536 + 7, '\0');
    for (std::size_t i = 0; i < value.size(); ++i)
        value[i] = char(i * 7 + i / 65536);
    client.write("recordings", "large", value);
    EXPECT_EQ(value, client.read("recordings", "large"));
}

TEST_F(RemoteClient, ReadSendsExistsThenTheReadFrame) {
    server.setValue("a", "b", "");
    EXPECT_EQ("", client.read("a", "b"));  // an empty success is an empty value
    const std::vector<std::string> frames = server.receivedFrames();
    ASSERT_EQ(2u, frames.size());
    EXPECT_EQ(std::string("\x05\0\0\0\0\0\0\0\x00\x04\x00\x00\x00", 13), frames[0]);
    EXPECT_EQ(std::string("\x07\0\0\0\0\0\0\0\x00\x00\x01\x61\x01\x62\x00", 15), frames[1]);
}

TEST_F(RemoteClient, FailureAnswersBecomeReports) {
    server.setBehaviour(Behaviour::AnswerFailure, "no such value");
    const std::string prefix = "\tfunction: Kestrel::StorageClient::RemoteStorageClient::";
    std::string report = errorOf([&] { client.read("g", "k"); });
    EXPECT_EQ(0u, report.find("Exception:\n\tfile: RemoteStorageClient.cpp\n")) << report;
    EXPECT_EQ(prefix + "read", functionLine(report));
    EXPECT_EQ("\tmessage: no such value", lastLine(report));
    report = errorOf([&] { client.write("g", "k", "v"); });
    EXPECT_EQ(prefix + "write", functionLine(report));
    EXPECT_EQ("\tmessage: no such value", lastLine(report));
    report = errorOf([&] { client.remove("g", "k"); });
    EXPECT_EQ(prefix + "remove", functionLine(report));
    EXPECT_EQ("\tmessage: no such value", lastLine(report));
    report = errorOf([&] { client.next("g", "k"); });
    EXPECT_EQ(prefix + "next", functionLine(report));
    EXPECT_EQ("\tmessage: no such value", lastLine(report));
}

TEST_F(RemoteClient, OtherVersionNeedsAConverter) {
    server.setBehaviour(Behaviour::AnswerVersion1);
    EXPECT_EQ("need VersionConverter implementation", errorOf([&] { client.write("g", "k", "v"); }));
    EXPECT_EQ("need VersionConverter implementation", errorOf([&] { client.next("g", ""); }));
    EXPECT_FALSE(client.exists());
    EXPECT_EQ("", client.read("g", "k"));  // exists failed, so nothing is asked
}

TEST_F(RemoteClient, HugeResponseLengthIsRefusedAtOnce) {
    server.setBehaviour(Behaviour::HugeLength);
    for (uint64_t length : {uint64_t(1) << 40, uint64_t(16u << 20) + 1, ~uint64_t(0)}) {
        server.setHugeLength(length);
        auto start = std::chrono::steady_clock::now();
        const std::string report = errorOf([&] { client.write("g", "k", "v"); });
        EXPECT_EQ("\tfunction: Kestrel::StorageClient::RemoteStorageClient::sendMessage", functionLine(report));
        EXPECT_EQ("\tmessage: Failed to get response", lastLine(report));
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    }
    // Exactly 16 MiB is allowed; here the server closes before sending it.
    server.setHugeLength(16u << 20);
    EXPECT_EQ("\tmessage: Failed to get response", lastLine(errorOf([&] { client.write("g", "k", "v"); })));
}

TEST_F(RemoteClient, ServerThatClosesAtOnce) {
    server.setBehaviour(Behaviour::CloseAtOnce);
    const std::string report = errorOf([&] { client.write("g", "k", "v"); });
    EXPECT_EQ("\tfunction: Kestrel::StorageClient::RemoteStorageClient::sendMessage", functionLine(report));
    // Which step notices depends on when the close arrives; it is never taken for an answer.
    const std::string message = lastLine(report);
    EXPECT_TRUE(message == "\tmessage: Failed to get response" || message == "\tmessage: Failed to send message" ||
                message == "\tmessage: Failed to send message size")
        << message;
    EXPECT_FALSE(client.exists());
}

TEST(RemoteClientWithoutServer, StoppedServer) {
    RemoteStorageClient client("127.0.0.1", stoppedServerPort());
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.exists());
    EXPECT_EQ("", client.read("g", "k"));
    const std::string connectFailure = "\tmessage: Failed to connect to tcp server";
    const std::string report = errorOf([&] { client.write("g", "k", "v"); });
    EXPECT_EQ("\tfunction: Kestrel::StorageClient::RemoteStorageClient::sendMessage", functionLine(report));
    EXPECT_EQ(connectFailure, lastLine(report));
    EXPECT_EQ(connectFailure, lastLine(errorOf([&] { client.remove("g", "k"); })));
    EXPECT_EQ(connectFailure, lastLine(errorOf([&] { client.next("g", ""); })));
    // Nothing listens, so every attempt is refused at once rather than timing out.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

// A client given its connections by a connector: none is an unreachable server, and a
// connection whose peer already holds a response frame gives that response.
TEST(RemoteClientWithoutServer, AConnectorGivesTheConnections) {
    RemoteStorageClient none([] { return std::unique_ptr<Kestrel::Networking::Socket>(); });
    EXPECT_FALSE(none.exists());
    EXPECT_EQ("", none.read("g", "k"));
    EXPECT_EQ("\tmessage: Failed to connect to tcp server", lastLine(errorOf([&] { none.write("g", "k", "v"); })));
#ifndef _WIN32
    std::vector<int> peers;
    RemoteStorageClient paired([&] {
        int ends[2];
        EXPECT_EQ(0, ::socketpair(AF_UNIX, SOCK_STREAM, 0, ends));
        // A succeeding Next response whose text is "k2", then the end of the stream.
        const std::string body = Remote::encodeResponseBody({Remote::statusSuccess, "k2"});
        const std::string frame = Remote::encodeFrameHeader(body.size()) + body;
        EXPECT_EQ(ssize_t(frame.size()), ::send(ends[1], frame.data(), frame.size(), 0));
        ::shutdown(ends[1], SHUT_WR);
        peers.push_back(ends[1]);
        return std::make_unique<Kestrel::Networking::Socket>(ends[0]);
    });
    EXPECT_EQ("k2", paired.next("g", "k"));
    for (int peer : peers)
        ::close(peer);
#endif
}

TEST(RemoteClientWithoutServer, AddressesMustBeNumeric) {
    const std::string invalid = "hostname is invalid or requires DNS lookup, which is not supported yet";
    for (const std::string& address : std::vector<std::string>{"localhost", "[::1]", "", std::string("127.0.0.1\0", 10)}) {
        RemoteStorageClient client(address, 5000);
        EXPECT_EQ(invalid, errorOf([&] { client.write("g", "k", "v"); })) << address;
        EXPECT_FALSE(client.exists());
        EXPECT_EQ("", client.read("g", "k"));
    }
    RemoteStorageClient tooLarge("127.0.0.1", 65536);
    EXPECT_EQ("port is out of range", errorOf([&] { tooLarge.next("g", ""); }));
}

TEST_F(RemoteClient, OneClientServesSeveralThreads) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i)
                client.write("g" + std::to_string(t), std::to_string(i), std::to_string(t * 100 + i));
        });
    for (auto& thread : threads)
        thread.join();
    const auto values = server.values();
    ASSERT_EQ(4u, values.size());
    for (int t = 0; t < 4; ++t) {
        ASSERT_EQ(25u, values.at("g" + std::to_string(t)).size());
        EXPECT_EQ(std::to_string(t * 100 + 7), values.at("g" + std::to_string(t)).at("7"));
    }
}

TEST_F(RemoteClient, FailuresCrossTheInterfaceAsCodeAndReport) {
    using namespace Kestrel::InterfaceContract;
    Ref<IStorage> storage = makeInterfaced<RemoteStorageClient, IStorage>("127.0.0.1", server.port());
    server.setBehaviour(Behaviour::AnswerFailure, "refused");
    InArray group = inArray("g"), key = inArray("k"), value = inArray("v");
    try {
        check(storage.get(), storage->write(&group, &key, &value));
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(0x80004005u, e.code());
        EXPECT_EQ("\tmessage: refused", lastLine(e.message()));
    }
    server.setBehaviour(Behaviour::Normal);
    Boolean exists = 0;
    check(storage.get(), storage->exists(&exists));
    EXPECT_EQ(BooleanTrue, exists);
}

} // namespace
