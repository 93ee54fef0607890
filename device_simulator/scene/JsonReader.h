#pragma once
// A small JSON reader for the scenario files: objects, arrays, numbers, strings (UTF-8, every
// escape including \uXXXX surrogate pairs), true, false and null. Strict RFC 8259 grammar; a
// UTF-8 byte-order mark at the start is skipped (editors on Windows write one). Errors name the
// line and column (1-based, columns in bytes) where the text stops making sense.

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace Kestrel::DeviceSimulator {

class JsonArray;
class JsonObject;

// One value. The accessors answer a neutral value (0, false, empty) for another type, so a
// caller checks the type first where the type matters.
class JsonValue {
public:
    enum class Type { Null, Bool, Number, String, Array, Object };

    JsonValue() = default;
    explicit JsonValue(bool b) : type_(Type::Bool), boolean_(b) {}
    explicit JsonValue(double d) : type_(Type::Number), number_(d) {}
    explicit JsonValue(std::string s) : type_(Type::String), string_(std::move(s)) {}
    explicit JsonValue(std::shared_ptr<const JsonArray> a) : type_(Type::Array), array_(std::move(a)) {}
    explicit JsonValue(std::shared_ptr<const JsonObject> o) : type_(Type::Object), object_(std::move(o)) {}

    Type type() const { return type_; }
    bool isNull() const { return type_ == Type::Null; }
    bool isBool() const { return type_ == Type::Bool; }
    bool isDouble() const { return type_ == Type::Number; }
    bool isString() const { return type_ == Type::String; }
    bool isArray() const { return type_ == Type::Array; }
    bool isObject() const { return type_ == Type::Object; }

    bool toBool() const { return boolean_; }
    double toDouble() const { return number_; }
    const std::string& toString() const { return string_; }
    const JsonArray& toArray() const;
    const JsonObject& toObject() const;

private:
    Type type_ = Type::Null;
    bool boolean_ = false;
    double number_ = 0;
    std::string string_;
    std::shared_ptr<const JsonArray> array_;
    std::shared_ptr<const JsonObject> object_;
};

class JsonArray {
public:
    std::vector<JsonValue> items;

    size_t size() const { return items.size(); }
    const JsonValue& operator[](size_t i) const { return items[i]; }
    auto begin() const { return items.begin(); }
    auto end() const { return items.end(); }
};

// Members in the order of the text; a key appears at most once (the reader refuses repeats).
class JsonObject {
public:
    std::vector<std::pair<std::string, JsonValue>> members;

    bool contains(const std::string& key) const;
    // The member's value, or null when there is none.
    const JsonValue& value(const std::string& key) const;
    std::vector<std::string> keys() const;
};

class JsonError : public std::runtime_error {
public:
    JsonError(int line, int column, const std::string& what);
    int line() const { return line_; }
    int column() const { return column_; }

private:
    int line_;
    int column_;
};

// Arrays and objects nest at most this deep, so that a hostile file cannot exhaust the stack.
constexpr int jsonMaximumDepth = 64;

// Parses one JSON document (any value, surrounded only by white space); throws JsonError with
// the message "line L, column C: what".
JsonValue parseJson(const std::string& text);

} // namespace Kestrel::DeviceSimulator
