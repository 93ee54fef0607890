// The scenario files' JSON reader: every kind of value, escapes to UTF-8, and refusals that
// name the line and column (columns counted by hand from the texts below).

#include <gtest/gtest.h>

#include "device_simulator/scene/JsonReader.h"

using namespace Kestrel::DeviceSimulator;

namespace {

std::string errorOf(const std::string& text) {
    try {
        parseJson(text);
    } catch (const JsonError& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

TEST(JsonReader, ReadsEveryKindOfValue) {
    const JsonValue v = parseJson("\xEF\xBB\xBF {\"n\": [0, -0.5e2, 1E+2, 12.25, 1e-3],\n"
                                  " \"s\": \"a\\\"\\\\\\/\\b\\f\\n\\r\\t\\u00e9\\ud83d\\ude00\xE2\x82\xAC\",\n"
                                  " \"t\": true, \"f\": false, \"z\": null, \"o\": {}, \"a\": []}\r\n");
    ASSERT_TRUE(v.isObject());
    const JsonObject& o = v.toObject();
    EXPECT_EQ(o.keys(), (std::vector<std::string>{"n", "s", "t", "f", "z", "o", "a"}));
    const JsonArray& n = o.value("n").toArray();
    ASSERT_EQ(n.size(), 5u);
    EXPECT_EQ(n[0].toDouble(), 0.0);
    EXPECT_EQ(n[1].toDouble(), -50.0);
    EXPECT_EQ(n[2].toDouble(), 100.0);
    EXPECT_EQ(n[3].toDouble(), 12.25);
    EXPECT_EQ(n[4].toDouble(), 0.001);
    // é is C3 A9, U+1F600 is F0 9F 98 80; the euro sign passes through as written.
    EXPECT_EQ(o.value("s").toString(), "a\"\\/\b\f\n\r\t\xC3\xA9\xF0\x9F\x98\x80\xE2\x82\xAC");
    EXPECT_TRUE(o.value("t").isBool());
    EXPECT_TRUE(o.value("t").toBool());
    EXPECT_FALSE(o.value("f").toBool());
    EXPECT_TRUE(o.value("z").isNull());
    EXPECT_TRUE(o.contains("z"));
    EXPECT_FALSE(o.contains("missing"));
    EXPECT_TRUE(o.value("missing").isNull());
    EXPECT_TRUE(o.value("o").isObject());
    EXPECT_TRUE(o.value("a").isArray());
    EXPECT_EQ(parseJson(" \"x\" ").toString(), "x");
}

TEST(JsonReader, RefusalsNameLineAndColumn) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "line 1, column 1: unexpected end of text, expected a value"},
        {"{\n  \"a\": 1,\n  \"b\" 2}", "line 3, column 7: expected ':' after the key"},
        {"[1,]", "line 1, column 4: expected a value"},
        {"[1 2]", "line 1, column 4: expected ',' or ']'"},
        {"{\"a\": 1", "line 1, column 8: unexpected end of text, expected ',' or '}'"},
        {"{a: 1}", "line 1, column 2: expected a key in double quotes"},
        {"{\"a\":1,\"a\":2}", "line 1, column 8: key \"a\" given twice"},
        {"01", "line 1, column 2: unexpected text after the document"},
        {"1.", "line 1, column 3: expected a digit after the decimal point"},
        {"-", "line 1, column 2: expected a digit"},
        {"1e+", "line 1, column 4: expected a digit in the exponent"},
        {"[1e999]", "line 1, column 2: number out of range"},
        {"tru", "line 1, column 4: expected true"},
        {"\"ab", "line 1, column 4: unexpected end of text inside a string"},
        {"\"a\tb\"", "line 1, column 3: control character inside a string"},
        {"\"\\x\"", "line 1, column 2: unknown escape in a string"},
        {"\"\\u12G4\"", "line 1, column 6: expected four hexadecimal digits after \\u"},
        {"\"\\ud800\"", "line 1, column 2: high surrogate without a low one"},
        {"\"\\ud800\\u0041\"", "line 1, column 2: high surrogate without a low one"},
        {"\"\\udc00\"", "line 1, column 2: low surrogate without a high one"},
        {"\"\xC0\xAF\"", "line 1, column 2: invalid UTF-8"},          // overlong "/"
        {"\"\xED\xA0\x80\"", "line 1, column 2: invalid UTF-8"},      // a surrogate
        {"\"\xF4\x90\x80\x80\"", "line 1, column 2: invalid UTF-8"},  // above U+10FFFF
        {"\"\xE2\x82\"", "line 1, column 2: invalid UTF-8"},          // cut short
    };
    for (const auto& [text, message] : cases)
        EXPECT_EQ(errorOf(text), message) << text;
}

TEST(JsonReader, NestingIsLimited) {
    const int limit = jsonMaximumDepth;
    EXPECT_EQ(errorOf(std::string(size_t(limit), '[') + std::string(size_t(limit), ']')), "(no error)");
    EXPECT_EQ(errorOf(std::string(size_t(limit) + 1, '[') + std::string(size_t(limit) + 1, ']')),
              "line 1, column " + std::to_string(limit + 1) + ": arrays and objects nested deeper than " +
                  std::to_string(limit));
    // A hostile file far deeper than the limit is refused, not a stack overflow.
    EXPECT_NE(errorOf(std::string(1000000, '[')), "(no error)");
}
