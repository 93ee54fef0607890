#pragma once
// JSON objects and arrays built member by member and written as text, members in the order
// they were first set. Strings are UTF-8 and pass through; only quotes, backslashes and
// control characters are escaped. Numbers are written so that they read back to the same double.

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace OrbTool {

class JsonBuilt {
public:
    JsonBuilt(double v) : text_(number(v)) {}
    JsonBuilt(int v) : text_(std::to_string(v)) {}
    JsonBuilt(unsigned v) : text_(std::to_string(v)) {}
    JsonBuilt(bool v) : text_(v ? "true" : "false") {}
    JsonBuilt(const char* v) : text_(quoted(v)) {}
    JsonBuilt(const std::string& v) : text_(quoted(v)) {}

    const std::string& text() const { return text_; }

    static std::string number(double v) {
        if (!std::isfinite(v))
            return "null";
        char out[32];
        std::snprintf(out, sizeof out, "%.17g", v);
        return out;
    }
    static std::string quoted(const std::string& s) {
        std::string out = "\"";
        for (char c : s) {
            if (c == '"' || c == '\\') {
                out += '\\';
                out += c;
            } else if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(c));
                out += escaped;
            } else {
                out += c;
            }
        }
        return out + "\"";
    }

protected:
    JsonBuilt() = default;
    std::string text_;
};

class JsonArrayBuilder : public JsonBuilt {
public:
    JsonArrayBuilder() { text_ = "[]"; }
    void append(const JsonBuilt& value) {
        text_.pop_back();
        text_ += (text_.size() > 1 ? ", " : "") + value.text() + "]";
    }
};

class JsonObjectBuilder : public JsonBuilt {
public:
    class Member {
    public:
        void operator=(const JsonBuilt& value) {
            for (auto& member : owner_.members_)
                if (member.first == key_) {
                    member.second = value.text();
                    return owner_.write();
                }
            owner_.members_.emplace_back(key_, value.text());
            owner_.write();
        }

    private:
        friend class JsonObjectBuilder;
        Member(JsonObjectBuilder& owner, std::string key) : owner_(owner), key_(std::move(key)) {}
        JsonObjectBuilder& owner_;
        std::string key_;
    };

    JsonObjectBuilder() { text_ = "{}"; }
    Member operator[](const std::string& key) { return Member(*this, key); }

private:
    void write() {
        text_ = "{";
        for (const auto& [key, value] : members_)
            text_ += (text_.size() > 1 ? ", " : "") + quoted(key) + ": " + value;
        text_ += "}";
    }
    std::vector<std::pair<std::string, std::string>> members_;
};

} // namespace OrbTool
