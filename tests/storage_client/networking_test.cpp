// The socket layer: numeric addresses, the connect rules, option conversion and error texts.
#include <gtest/gtest.h>

#include <chrono>

#include "TestStorageServer.h"
#include "storage_client/IPEndPoint.h"
#include "storage_client/NetworkException.h"
#include "storage_client/TcpClient.h"

using namespace Kestrel::Networking;
using namespace std::chrono_literals;

namespace {

template <class F>
std::string networkErrorOf(F&& operation) {
    try {
        operation();
    } catch (const NetworkException& e) {
        return e.what();
    }
    return "no error";
}

TEST(IPEndPoint, NumericAddressesOnly) {
    auto v4 = IPEndPoint::parse("127.0.0.1", 5000);
    ASSERT_TRUE(v4);
    EXPECT_EQ(AddressFamily::InterNetwork, v4->addressFamily());
    EXPECT_EQ(16, v4->nativeAddressSize());
    EXPECT_EQ("127.0.0.1:5000", v4->toString());

    auto v6 = IPEndPoint::parse("::1", 65535);
    ASSERT_TRUE(v6);
    EXPECT_EQ(AddressFamily::InterNetworkV6, v6->addressFamily());
    EXPECT_EQ(28, v6->nativeAddressSize());
    EXPECT_EQ("[::1]:65535", v6->toString());
    EXPECT_EQ("[2001:db8::2]:1", IPEndPoint::parse("2001:db8:0:0::2", 1)->toString());

    for (const char* bad : {"localhost", "", "[::1]", "1.2.3", "256.1.1.1", "1.2.3.4:80", "example.org", " 1.2.3.4"})
        EXPECT_FALSE(IPEndPoint::parse(bad, 1)) << bad;
    EXPECT_FALSE(IPEndPoint::parse(std::string_view("1.2.3.4\0x", 9), 1));
}

TEST(EndPoint, BaseOperationsMustBeOverridden) {
    EndPoint base;
    EXPECT_EQ("Method must be overridden", networkErrorOf([&] { base.addressFamily(); }));
    EXPECT_EQ("Method must be overridden", networkErrorOf([&] { base.nativeAddress(); }));
    EXPECT_EQ("Method must be overridden", networkErrorOf([&] { base.nativeAddressSize(); }));
    EXPECT_EQ("Method must be overridden", networkErrorOf([&] { base.toString(); }));
}

TEST(SocketOptions, UnknownValuesCannotBeConverted) {
    EXPECT_EQ("Unknown socket level option! Cannot convert!",
              networkErrorOf([] { nativeOptionLevel(static_cast<SocketOptionLevel>(5)); }));
    EXPECT_EQ("Unknown socket option name! Cannot convert!",
              networkErrorOf([] { nativeOptionName(static_cast<SocketOptionName>(99)); }));
}

TEST(Socket, OptionAndHandleErrors) {
    Socket socket(AddressFamily::InterNetwork, SocketType::Stream, ProtocolType::Tcp);
    socket.setOption(SocketOptionLevel::Tcp, SocketOptionName::NoDelay, 1);
    EXPECT_NE(0, socket.getOption(SocketOptionLevel::Tcp, SocketOptionName::NoDelay));
#ifndef _WIN32
    // An IPv6 option on an IPv4 socket is refused by the system. (Wine lets the change pass,
    // though it refuses to read the option back.)
    try {
        socket.setOption(SocketOptionLevel::IPv6, SocketOptionName::IPv6Only, 1);
        ADD_FAILURE() << "no exception";
    } catch (const SocketErrorException& e) {
        EXPECT_STREQ("Failed to set socket option", e.what());
        EXPECT_NE(0, e.errorCode());
    }
#endif
    EXPECT_EQ("Failed to get socket option",
              networkErrorOf([&] { socket.getOption(SocketOptionLevel::IPv6, SocketOptionName::IPv6Only); }));
    EXPECT_EQ("Failed to shut down socket", networkErrorOf([&] { socket.shutdown(ShutdownMode::Both); }));
    EXPECT_EQ("Unable to send null buffer in socket", networkErrorOf([&] { socket.send(nullptr, 1); }));
    EXPECT_EQ("Unknown socket level option! Cannot convert!",
              networkErrorOf([&] { socket.setOption(static_cast<SocketOptionLevel>(1), SocketOptionName::KeepAlive, 1); }));

    socket.close();
    EXPECT_FALSE(socket.isValid());
    EXPECT_EQ("Socket handle invalid", networkErrorOf([&] { socket.setOption(SocketOptionLevel::Socket, SocketOptionName::KeepAlive, 1); }));
    EXPECT_EQ("Socket handle invalid", networkErrorOf([&] { socket.getOption(SocketOptionLevel::Socket, SocketOptionName::KeepAlive); }));
    char byte = 0;
    EXPECT_EQ("Socket handle invalid", networkErrorOf([&] { socket.send(&byte, 1); }));
    EXPECT_EQ("Socket handle invalid", networkErrorOf([&] { socket.receive(&byte, 1); }));
    EXPECT_EQ("Socket handle invalid", networkErrorOf([&] { socket.shutdown(ShutdownMode::Send); }));
}

TEST(TcpClient, ConnectRulesInOrder) {
    StorageTest::TestStorageServer server;
    {
        TcpClient client;
        EXPECT_EQ("hostname is null", networkErrorOf([&] { client.connect(nullptr, server.port(), 1000ms); }));
        EXPECT_EQ("hostname is invalid or requires DNS lookup, which is not supported yet",
                  networkErrorOf([&] { client.connect("localhost", server.port(), 1000ms); }));
        EXPECT_EQ("port is out of range", networkErrorOf([&] { client.connect("127.0.0.1", 65536, 1000ms); }));
        ASSERT_TRUE(client.connect("127.0.0.1", server.port(), 1000ms));
        EXPECT_TRUE(client.isConnected());
        // Connected: a second connect is refused before the host is even looked at.
        EXPECT_EQ("Already connected", networkErrorOf([&] { client.connect("localhost", server.port(), 1000ms); }));
        client.close();
        EXPECT_EQ("Client closed, cannot reuse client!", networkErrorOf([&] { client.connect(nullptr, 1, 1000ms); }));
        EXPECT_EQ("Not connected", networkErrorOf([&] { client.socket(); }));
    }
    if (server.hasIPv6()) {
        TcpClient client;
        EXPECT_TRUE(client.connect("::1", server.port(), 1000ms));
    }
}

TEST(TcpClient, RefusedConnectionFailsAtOnce) {
    uint16_t port;
    {
        StorageTest::TestStorageServer server;
        port = server.port();
    }
    TcpClient client;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.connect("127.0.0.1", port, 3000ms));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_FALSE(client.isConnected());
}

TEST(Socket, SendAndReceiveMoveWholeBuffers) {
    StorageTest::TestStorageServer server;
    TcpClient client;
    ASSERT_TRUE(client.connect("127.0.0.1", server.port(), 1000ms));
    // A request frame for exists, sent in two pieces; the answer is 00 01 00 behind its length.
    const char header[8] = {5, 0, 0, 0, 0, 0, 0, 0};
    const char body[5] = {0, 4, 0, 0, 0};
    ASSERT_TRUE(client.socket().send(header, 3));
    ASSERT_TRUE(client.socket().send(header + 3, 5));
    ASSERT_TRUE(client.socket().send(body, sizeof body));
    char answer[11];
    ASSERT_TRUE(client.socket().receive(answer, sizeof answer));
    EXPECT_EQ(std::string("\x03\0\0\0\0\0\0\0\x00\x01\x00", 11), std::string(answer, sizeof answer));
    // The server closed after answering: one more byte is not there.
    EXPECT_FALSE(client.socket().receive(answer, 1));
    EXPECT_EQ(0, client.socket().lastError());
}

// The deadline bounds a whole receive, not each system call: a peer that sends a byte now and
// then (11 bytes, 150 ms apart) cannot stretch it.
TEST(Socket, DeadlineEndsAReceiveOfATricklingPeer) {
    StorageTest::TestStorageServer server;
    server.setBehaviour(StorageTest::Behaviour::Trickle);
    server.setTrickleInterval(150ms);
    TcpClient client;
    ASSERT_TRUE(client.connect("127.0.0.1", server.port(), 1000ms));
    Socket& socket = client.socket();
    const char frame[13] = {5, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0};
    ASSERT_TRUE(socket.send(frame, sizeof frame));
    socket.setTimeout(SocketOptionName::ReceiveTimeout, 1000ms);
    const auto start = std::chrono::steady_clock::now();
    socket.setDeadline(start + 400ms);
    char answer[11];
    EXPECT_FALSE(socket.receive(answer, sizeof answer));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 350ms);
    EXPECT_LT(waited, 1000ms);
    EXPECT_NE(0, socket.lastError());
}

} // namespace
