// Wire bytes of the storage frames and the layout of error reports.
#include <gtest/gtest.h>

#include "storage_client/ErrorReport.h"
#include "storage_client/RemoteProtocol.h"

using namespace Kestrel::StorageClient;
using namespace Kestrel::StorageClient::Remote;

namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values)
        out.push_back(char(v));
    return out;
}

TEST(RemoteProtocol, RequestBodyOfARead) {
    EXPECT_EQ(bytes({0x00, 0x00, 0x01, 0x61, 0x01, 0x62, 0x00}), encodeRequestBody({RequestType::Read, "a", "b", ""}));
    EXPECT_EQ(bytes({0x07, 0, 0, 0, 0, 0, 0, 0}), encodeFrameHeader(7));
}

TEST(RemoteProtocol, RequestTypesAndValue) {
    EXPECT_EQ(bytes({0x00, 0x04, 0x00, 0x00, 0x00}), encodeRequestBody({RequestType::Exists, "", "", ""}));
    EXPECT_EQ(bytes({0x00, 0x01, 0x01, 'g', 0x01, 'k', 0x02, 'v', 'w'}), encodeRequestBody({RequestType::Write, "g", "k", "vw"}));
    EXPECT_EQ(bytes({0x00, 0x02, 0x00, 0x00, 0x00}), encodeRequestBody({RequestType::Remove, "", "", ""}));
    EXPECT_EQ(bytes({0x00, 0x03, 0x00, 0x00, 0x00}), encodeRequestBody({RequestType::Next, "", "", ""}));
}

TEST(RemoteProtocol, LongStringsHaveMultiByteLengths) {
    const std::string body = encodeRequestBody({RequestType::Write, std::string(200, 'x'), "", ""});
    EXPECT_EQ(bytes({0x00, 0x01, 0xC8, 0x01}), body.substr(0, 4));
    EXPECT_EQ(4u + 200u + 2u, body.size());
    // 16384 = 2^14 takes three groups: 80 80 01.
    const std::string large = encodeRequestBody({RequestType::Write, "", "", std::string(16384, 'v')});
    EXPECT_EQ(bytes({0x00, 0x01, 0x00, 0x00, 0x80, 0x80, 0x01}), large.substr(0, 7));
}

TEST(RemoteProtocol, FrameLengthIsLittleEndian) {
    EXPECT_EQ(bytes({0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01}), encodeFrameHeader(0x0102030405060708ull));
    const char header[8] = {char(0x08), 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, char(0x81)};
    EXPECT_EQ(0x8102030405060708ull, decodeFrameHeader(header));
}

TEST(RemoteProtocol, ResponseBodies) {
    Response empty = decodeResponseBody(bytes({0x00, 0x01, 0x00}));
    EXPECT_TRUE(empty.succeeded());
    EXPECT_EQ("", empty.text);

    Response failure = decodeResponseBody(bytes({0x00, 0x02, 0x03, 'b', 'a', 'd'}));
    EXPECT_FALSE(failure.succeeded());
    EXPECT_EQ("bad", failure.text);
    EXPECT_FALSE(decodeResponseBody(bytes({0x00, 0x00, 0x00})).succeeded());

    try {
        decodeResponseBody(bytes({0x01, 0x01, 0x00}));
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("need VersionConverter implementation", e.what());
    }
}

TEST(RemoteProtocol, TruncatedResponsesAreRefused) {
    EXPECT_THROW(decodeResponseBody(""), std::runtime_error);
    EXPECT_THROW(decodeResponseBody(bytes({0x00})), std::runtime_error);
    EXPECT_THROW(decodeResponseBody(bytes({0x00, 0x01})), std::runtime_error);
    // Announces 5 text bytes, carries 2.
    EXPECT_THROW(decodeResponseBody(bytes({0x00, 0x01, 0x05, 'a', 'b'})), std::runtime_error);
    // A length that does not fit the body, with the high bits set.
    EXPECT_THROW(decodeResponseBody(bytes({0x00, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F})), std::runtime_error);
}

TEST(ErrorReport, LayoutAndLastLine) {
    EXPECT_EQ("Exception:\n\tfile: RemoteStorageClient.cpp\n\tfunction: Kestrel::StorageClient::RemoteStorageClient::read\n"
              "\tline: 16\n\tmessage: no such key",
              errorReport("/src/storage_client/RemoteStorageClient.cpp", "Kestrel::StorageClient::RemoteStorageClient::read",
                          16, "no such key"));
    EXPECT_EQ("Exception:\n\tfile: a.cpp\n\tfunction: f\n\tline: 1\n\tmessage: ",
              errorReport("C:\\src\\a.cpp", "f", 1, ""));
}

} // namespace
