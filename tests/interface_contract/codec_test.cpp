#include <gtest/gtest.h>

#include <stdexcept>

#include "interface_contract/Base64.h"
#include "interface_contract/Varint.h"

using namespace Kestrel::Codec;

TEST(Base64, DecodesPaddedUnpaddedAndUrlSafe) {
    EXPECT_EQ("Man", decodeBase64("TWFu"));
    EXPECT_EQ("Ma", decodeBase64("TWE="));
    EXPECT_EQ("Ma", decodeBase64("TWE"));
    EXPECT_EQ("M", decodeBase64("TQ=="));
    EXPECT_EQ("M", decodeBase64("TQ"));
    EXPECT_EQ("", decodeBase64(""));
    // "-_" read as "+/": 111110 111111 -> 0xFB, 0xF...
    EXPECT_EQ(std::string("\xFB\xFF", 2), decodeBase64("-__="));
    EXPECT_EQ(decodeBase64("+//="), decodeBase64("-__="));
    // Five characters: one "=" is appended, the incomplete group is ignored.
    EXPECT_EQ("Man", decodeBase64("TWFuT"));
    // Surplus padding after a whole group is ignored.
    EXPECT_EQ("Man", decodeBase64("TWFu===="));
    // A group with one character before "=" gives nothing.
    EXPECT_EQ("", decodeBase64("T==="));
}

TEST(Base64, RejectsCharactersOutsideBothAlphabets) {
    for (const char* bad : {"TW*u", "TW u", "T.Fu", "TWF\x80"}) {
        try {
            decodeBase64(bad);
            ADD_FAILURE() << bad;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ("Wrong base64 string", e.what());
        }
    }
}

TEST(Base64, EncodeRoundTripsEveryLength) {
    std::string bytes;
    for (int n = 0; n < 40; ++n) {
        EXPECT_EQ(bytes, decodeBase64(encodeBase64(bytes))) << n;
        EXPECT_EQ(0u, encodeBase64(bytes).size() % 4);
        bytes.push_back(char(n * 37 + 11));
    }
    EXPECT_EQ("TWFu", encodeBase64("Man"));
    EXPECT_EQ("TQ==", encodeBase64("M"));
}

TEST(Varint, EncodesLeb128) {
    std::string out;
    appendVarint(out, 200);
    EXPECT_EQ(std::string("\xC8\x01", 2), out);
    out.clear();
    appendVarint(out, 0);
    appendVarint(out, 127);
    appendVarint(out, 128);
    EXPECT_EQ(std::string("\x00\x7F\x80\x01", 4), out);
    RecordReader reader(out);
    EXPECT_EQ(0u, reader.varint("a"));
    EXPECT_EQ(127u, reader.varint("b"));
    EXPECT_EQ(128u, reader.varint("c"));
    EXPECT_TRUE(reader.atEnd());
}

TEST(RecordReader, ReadsFieldsAndRefusesToReadPastTheEnd) {
    std::string record;
    appendVarint(record, 300);
    appendString(record, "Single");
    appendFloat(record, 0.25f);
    appendDouble(record, -1.5);
    for (std::size_t cut = 0; cut < record.size(); ++cut) {
        RecordReader reader(std::string_view(record.data(), cut));
        EXPECT_THROW(
            {
                reader.varint("version");
                reader.string("name");
                reader.float32("f");
                reader.float64("d");
            },
            std::runtime_error)
            << cut;
    }
    RecordReader reader(record);
    EXPECT_EQ(300u, reader.varint("version"));
    EXPECT_EQ("Single", reader.string("name"));
    EXPECT_EQ(0.25f, reader.float32("f"));
    EXPECT_EQ(-1.5, reader.float64("d"));
    EXPECT_TRUE(reader.atEnd());
}

TEST(RecordReader, StringLongerThanRecordNamesTheField) {
    std::string record("\x05" "ab", 3);
    RecordReader reader(record);
    try {
        reader.string("kind");
        ADD_FAILURE();
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string::npos, std::string(e.what()).find("kind"));
    }
    // An endless varint is refused too.
    std::string endless(12, '\xFF');
    RecordReader r2(endless);
    EXPECT_THROW(r2.varint("v"), std::runtime_error);
}

TEST(RecordReader, VarintBeyondSixtyFourBitsIsRefused) {
    // 2^64 - 1 is nine bytes FF and a last byte 01; 2^63 is nine bytes 80 and a last byte 01.
    const std::string largest = std::string(9, '\xFF') + '\x01';
    const std::string highBit = std::string(9, '\x80') + '\x01';
    std::string encoded;
    appendVarint(encoded, UINT64_MAX);
    EXPECT_EQ(largest, encoded);
    EXPECT_EQ(UINT64_MAX, RecordReader(largest).varint("v"));
    EXPECT_EQ(9223372036854775808u, RecordReader(highBit).varint("v"));
    // A tenth byte with more than bit 63, or an eleventh byte: the extra bits do not fit.
    for (const std::string& tooLong : {std::string(9, '\x80') + '\x7E', std::string(9, '\xFF') + '\x02',
                                       std::string(10, '\x80') + '\x00'}) {
        RecordReader reader(tooLong);
        try {
            reader.varint("size");
            ADD_FAILURE() << "decoded";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ("varint too long: field 'size' at byte 0", std::string(e.what()));
        }
        EXPECT_EQ(0u, reader.offset());
    }
}
