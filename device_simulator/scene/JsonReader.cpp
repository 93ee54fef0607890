#include "device_simulator/scene/JsonReader.h"

#include <charconv>
#include <cmath>

namespace Kestrel::DeviceSimulator {

const JsonArray& JsonValue::toArray() const {
    static const JsonArray empty;
    return array_ ? *array_ : empty;
}

const JsonObject& JsonValue::toObject() const {
    static const JsonObject empty;
    return object_ ? *object_ : empty;
}

bool JsonObject::contains(const std::string& key) const {
    for (const auto& member : members)
        if (member.first == key)
            return true;
    return false;
}

const JsonValue& JsonObject::value(const std::string& key) const {
    static const JsonValue null;
    for (const auto& member : members)
        if (member.first == key)
            return member.second;
    return null;
}

std::vector<std::string> JsonObject::keys() const {
    std::vector<std::string> out;
    for (const auto& member : members)
        out.push_back(member.first);
    return out;
}

JsonError::JsonError(int line, int column, const std::string& what)
    : std::runtime_error("line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + what),
      line_(line), column_(column) {}

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

void appendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

class Parser {
public:
    explicit Parser(const std::string& text) : text_(text) {
        if (text_.compare(0, 3, "\xEF\xBB\xBF") == 0)
            pos_ = 3;
    }

    JsonValue document() {
        skipSpace();
        JsonValue value = parseValue(0);
        skipSpace();
        if (pos_ != text_.size())
            fail("unexpected text after the document");
        return value;
    }

private:
    // Line and column of the current position.
    [[noreturn]] void fail(const std::string& what) const { failAt(pos_, what); }
    [[noreturn]] void failAt(size_t at, const std::string& what) const {
        int line = 1;
        size_t lineStart = 0;
        for (size_t i = 0; i < at && i < text_.size(); ++i)
            if (text_[i] == '\n') {
                ++line;
                lineStart = i + 1;
            }
        throw JsonError(line, int(at - lineStart) + 1, what);
    }

    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[pos_]; }

    void skipSpace() {
        while (!atEnd() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' || text_[pos_] == '\r'))
            ++pos_;
    }

    void expectWord(const char* word) {
        for (const char* c = word; *c; ++c, ++pos_)
            if (peek() != *c)
                fail(std::string("expected ") + word);
    }

    JsonValue parseValue(int depth) {
        if (atEnd())
            fail("unexpected end of text, expected a value");
        switch (peek()) {
        case '{': return parseObject(depth + 1);
        case '[': return parseArray(depth + 1);
        case '"': return JsonValue(parseString());
        case 't': expectWord("true"); return JsonValue(true);
        case 'f': expectWord("false"); return JsonValue(false);
        case 'n': expectWord("null"); return JsonValue();
        default:
            if (peek() == '-' || isDigit(peek()))
                return JsonValue(parseNumber());
            fail("expected a value");
        }
    }

    void enter(int depth) {
        if (depth > jsonMaximumDepth)
            fail("arrays and objects nested deeper than " + std::to_string(jsonMaximumDepth));
        ++pos_;  // the opening bracket
        skipSpace();
    }

    JsonValue parseObject(int depth) {
        enter(depth);
        auto object = std::make_shared<JsonObject>();
        if (peek() == '}') {
            ++pos_;
            return JsonValue(std::shared_ptr<const JsonObject>(object));
        }
        for (;;) {
            if (peek() != '"')
                fail(atEnd() ? "unexpected end of text, expected a key" : "expected a key in double quotes");
            const size_t keyAt = pos_;
            std::string key = parseString();
            if (object->contains(key))
                failAt(keyAt, "key \"" + key + "\" given twice");
            skipSpace();
            if (peek() != ':')
                fail("expected ':' after the key");
            ++pos_;
            skipSpace();
            JsonValue value = parseValue(depth);
            object->members.emplace_back(std::move(key), std::move(value));
            skipSpace();
            if (peek() == ',') {
                ++pos_;
                skipSpace();
            } else if (peek() == '}') {
                ++pos_;
                return JsonValue(std::shared_ptr<const JsonObject>(object));
            } else {
                fail(atEnd() ? "unexpected end of text, expected ',' or '}'" : "expected ',' or '}'");
            }
        }
    }

    JsonValue parseArray(int depth) {
        enter(depth);
        auto array = std::make_shared<JsonArray>();
        if (peek() == ']') {
            ++pos_;
            return JsonValue(std::shared_ptr<const JsonArray>(array));
        }
        for (;;) {
            array->items.push_back(parseValue(depth));
            skipSpace();
            if (peek() == ',') {
                ++pos_;
                skipSpace();
            } else if (peek() == ']') {
                ++pos_;
                return JsonValue(std::shared_ptr<const JsonArray>(array));
            } else {
                fail(atEnd() ? "unexpected end of text, expected ',' or ']'" : "expected ',' or ']'");
            }
        }
    }

    // -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?, read without the C locale's decimal point.
    double parseNumber() {
        const size_t start = pos_;
        if (peek() == '-')
            ++pos_;
        if (peek() == '0') {
            ++pos_;
        } else if (isDigit(peek())) {
            while (isDigit(peek()))
                ++pos_;
        } else {
            fail("expected a digit");
        }
        if (peek() == '.') {
            ++pos_;
            if (!isDigit(peek()))
                fail("expected a digit after the decimal point");
            while (isDigit(peek()))
                ++pos_;
        }
        if (peek() == 'e' || peek() == 'E') {
            ++pos_;
            if (peek() == '+' || peek() == '-')
                ++pos_;
            if (!isDigit(peek()))
                fail("expected a digit in the exponent");
            while (isDigit(peek()))
                ++pos_;
        }
        double value = 0;
        const auto result = std::from_chars(text_.data() + start, text_.data() + pos_, value);
        if (result.ec != std::errc() || !std::isfinite(value))
            failAt(start, "number out of range");
        return value;
    }

    unsigned hexDigit() {
        const char c = peek();
        unsigned digit;
        if (isDigit(c))
            digit = unsigned(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = unsigned(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = unsigned(c - 'A' + 10);
        else
            fail("expected four hexadecimal digits after \\u");
        ++pos_;
        return digit;
    }

    uint32_t hexQuad() {
        uint32_t code = 0;
        for (int i = 0; i < 4; ++i)
            code = code * 16 + hexDigit();
        return code;
    }

    // One UTF-8 sequence starting at pos_, copied to `out`; overlong forms, surrogates and code
    // points above U+10FFFF are refused.
    void copyUtf8(std::string& out) {
        const unsigned char lead = static_cast<unsigned char>(text_[pos_]);
        int length;
        uint32_t code;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
        } else {
            fail("invalid UTF-8");
        }
        if (pos_ + size_t(length) > text_.size())
            fail("invalid UTF-8");
        for (int i = 1; i < length; ++i) {
            const unsigned char next = static_cast<unsigned char>(text_[pos_ + size_t(i)]);
            if ((next & 0xC0) != 0x80)
                fail("invalid UTF-8");
            code = (code << 6) | (next & 0x3F);
        }
        const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            fail("invalid UTF-8");
        out.append(text_, pos_, size_t(length));
        pos_ += size_t(length);
    }

    std::string parseString() {
        ++pos_;  // the opening quote
        std::string out;
        for (;;) {
            if (atEnd())
                fail("unexpected end of text inside a string");
            const unsigned char c = static_cast<unsigned char>(text_[pos_]);
            if (c == '"') {
                ++pos_;
                return out;
            }
            if (c < 0x20)
                fail("control character inside a string");
            if (c >= 0x80) {
                copyUtf8(out);
                continue;
            }
            if (c != '\\') {
                out += char(c);
                ++pos_;
                continue;
            }
            const size_t escapeAt = pos_;
            ++pos_;
            const char e = peek();
            ++pos_;
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                uint32_t code = hexQuad();
                if (code >= 0xDC00 && code <= 0xDFFF)
                    failAt(escapeAt, "low surrogate without a high one");
                if (code >= 0xD800 && code <= 0xDBFF) {
                    if (peek() != '\\' || pos_ + 1 >= text_.size() || text_[pos_ + 1] != 'u')
                        failAt(escapeAt, "high surrogate without a low one");
                    pos_ += 2;
                    const uint32_t low = hexQuad();
                    if (low < 0xDC00 || low > 0xDFFF)
                        failAt(escapeAt, "high surrogate without a low one");
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                appendUtf8(out, code);
                break;
            }
            default:
                failAt(escapeAt, "unknown escape in a string");
            }
        }
    }

    const std::string& text_;
    size_t pos_ = 0;
};

} // namespace

JsonValue parseJson(const std::string& text) { return Parser(text).document(); }

} // namespace Kestrel::DeviceSimulator
