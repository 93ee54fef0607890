// `orbtool storage` as a user runs it: a child process with its own data folder.
#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "TempFolder.h"
#include "TestStorageServer.h"

using StorageTest::ChildResult;
using StorageTest::TempFolder;

namespace {

class OrbtoolStorage : public ::testing::Test {
protected:
    TempFolder data;

    ChildResult orbtool(std::vector<std::string> arguments, const std::string& input = {}) {
        arguments.insert(arguments.begin(), "storage");
        return StorageTest::runChild(ORBTOOL_PATH, arguments, {{"XDG_DATA_HOME", data.path()}}, input);
    }
};

TEST_F(OrbtoolStorage, WrittenDefaultIsReadBack) {
    ChildResult written = orbtool({"write", "environment", "default", "CODE"});
    EXPECT_EQ(0, written.exitStatus) << written.err;
    EXPECT_EQ("", written.out);
    EXPECT_EQ("", written.err);  // a success says nothing
    // The library writes its selection to its own debug log, shown on stderr with --verbose.
    ChildResult verbose = StorageTest::runChild(ORBTOOL_PATH, {"--verbose", "storage", "write", "g", "k", "v"},
                                                {{"XDG_DATA_HOME", data.path()}});
    EXPECT_EQ(0, verbose.exitStatus);
    EXPECT_EQ("Error: UwpClient creation failed. KestrelService is not installed\nusing win32 storage client\n",
              verbose.err);

    ChildResult read = orbtool({"read", "environment", "default"});
    EXPECT_EQ(0, read.exitStatus);
    EXPECT_EQ("CODE", read.out);  // no newline added
    EXPECT_EQ("CODE", StorageTest::fileContent(data / "KestrelService/environment/default"));
}

TEST_F(OrbtoolStorage, ValueFromStandardInputIsKeptByteForByte) {
    const std::string value("line one\nline two\0\xff", 19);
    EXPECT_EQ(0, orbtool({"write", "g", "k", "-"}, value).exitStatus);
    EXPECT_EQ(value, orbtool({"read", "g", "k"}).out);
}

TEST_F(OrbtoolStorage, ListNextAndRemove) {
    for (const char* key : {"one", "two", "three"})
        ASSERT_EQ(0, orbtool({"write", "g", key, key}).exitStatus);
    ChildResult list = orbtool({"list", "g"});
    EXPECT_EQ(0, list.exitStatus);
    std::vector<std::string> keys;
    for (std::size_t at = 0; at < list.out.size();) {
        std::size_t end = list.out.find('\n', at);
        ASSERT_NE(std::string::npos, end) << "every key ends with a newline";
        keys.push_back(list.out.substr(at, end - at));
        at = end + 1;
    }
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ((std::vector<std::string>{"one", "three", "two"}), keys);

    ChildResult first = orbtool({"next", "g", ""});
    EXPECT_EQ(0, first.exitStatus);
    EXPECT_EQ(list.out.substr(0, list.out.find('\n') + 1), first.out);

    EXPECT_EQ(0, orbtool({"remove", "g", "two"}).exitStatus);
    EXPECT_EQ(0, orbtool({"remove", "g", "two"}).exitStatus);  // already gone: still fine
    EXPECT_EQ(std::string::npos, orbtool({"list", "g"}).out.find("two"));
    EXPECT_EQ("", orbtool({"list", "empty"}).out);
}

TEST_F(OrbtoolStorage, FailuresGoToStderrOnly) {
    ChildResult missing = orbtool({"read", "g", "missing"});
    EXPECT_EQ(1, missing.exitStatus);
    EXPECT_EQ("", missing.out);
    EXPECT_EQ("Read file error: file " + data.path() + "/KestrelService/g/missing is not exist\n", missing.err);

    ChildResult unknown = orbtool({"next", "g", "nobody"});
    EXPECT_EQ(1, unknown.exitStatus);
    EXPECT_EQ("", unknown.out);
    EXPECT_EQ("Invalid key\n", unknown.err);

    ChildResult escape = orbtool({"write", "..", "k", "v"});
    EXPECT_EQ(1, escape.exitStatus);
    EXPECT_EQ("Invalid group name\n", escape.err);

    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {}, {"read", "g"}, {"write", "g", "k"}, {"exists", "x"}, {"frobnicate"}, {"--remote"},
             {"--remote", "::1:5000", "exists"}, {"--remote", "127.0.0.1", "exists"},
             {"--remote", "127.0.0.1:99999", "exists"}, {"--remote", "[::1]5000", "exists"}}) {
        ChildResult usage = orbtool(bad);
        EXPECT_EQ(1, usage.exitStatus) << testing::PrintToString(bad);
        EXPECT_EQ("", usage.out);
        EXPECT_FALSE(usage.err.empty());
    }
}

TEST_F(OrbtoolStorage, RemoteServerOverBothAddressFamilies) {
    StorageTest::TestStorageServer server;
    const std::string v4 = "127.0.0.1:" + std::to_string(server.port());
    ChildResult written = orbtool({"--remote", v4, "write", "placement", "default", "P1"});
    EXPECT_EQ(0, written.exitStatus) << written.err;
    EXPECT_EQ("", written.err);  // the remote client does no selection, so logs nothing
    EXPECT_EQ("P1", server.values().at("placement").at("default"));
    EXPECT_EQ("P1", orbtool({"--remote", v4, "read", "placement", "default"}).out);
    EXPECT_EQ("default\n", orbtool({"--remote", v4, "list", "placement"}).out);

    ChildResult exists = orbtool({"--remote", v4, "exists"});
    EXPECT_EQ(0, exists.exitStatus);
    EXPECT_EQ("true\n", exists.out);

    if (server.hasIPv6()) {
        const std::string v6 = "[::1]:" + std::to_string(server.port());
        EXPECT_EQ("P1", orbtool({"--remote", v6, "read", "placement", "default"}).out);
    }

    server.setBehaviour(StorageTest::Behaviour::AnswerFailure, "server says no");
    ChildResult refused = orbtool({"--remote", v4, "write", "g", "k", "v"});
    EXPECT_EQ(1, refused.exitStatus);
    EXPECT_EQ("", refused.out);
    EXPECT_NE(std::string::npos, refused.err.find("\tmessage: server says no\n")) << refused.err;
}

TEST_F(OrbtoolStorage, StoppedServer) {
    uint16_t port;
    {
        StorageTest::TestStorageServer server;
        port = server.port();
    }
    const std::string address = "127.0.0.1:" + std::to_string(port);
    ChildResult exists = orbtool({"--remote", address, "exists"});
    EXPECT_EQ(1, exists.exitStatus);
    EXPECT_EQ("false\n", exists.out);

    // The library reads an unreachable server as an empty value; orbtool tells them apart.
    ChildResult read = orbtool({"--remote", address, "read", "g", "k"});
    EXPECT_EQ(1, read.exitStatus);
    EXPECT_EQ("", read.out);
    EXPECT_EQ("the storage server at " + address + " cannot be reached\n", read.err);

    ChildResult write = orbtool({"--remote", address, "write", "g", "k", "v"});
    EXPECT_EQ(1, write.exitStatus);
    EXPECT_EQ("", write.out);
    EXPECT_NE(std::string::npos, write.err.find("\tmessage: Failed to connect to tcp server\n")) << write.err;
}

TEST_F(OrbtoolStorage, HelpDescribesEveryOperation) {
    ChildResult help = orbtool({"--help"});
    EXPECT_EQ(0, help.exitStatus);
    for (const char* word : {"read GROUP KEY", "write GROUP KEY VALUE", "remove GROUP KEY", "next GROUP KEY",
                             "list GROUP", "exists", "--remote ADDRESS:PORT", "[::1]:5000", "standard input"})
        EXPECT_NE(std::string::npos, help.out.find(word)) << word;
    ChildResult overview = StorageTest::runChild(ORBTOOL_PATH, {"--help"});
    EXPECT_EQ(0, overview.exitStatus);
    EXPECT_NE(std::string::npos, overview.out.find("storage"));
}

} // namespace
