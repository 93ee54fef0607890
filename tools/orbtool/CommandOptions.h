#pragma once
// Options of the form "--name value" or "--flag" after a subcommand's positional words, and
// the number formats the code commands accept. Failures throw std::runtime_error with the
// message the command prints.

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "Command.h"

namespace OrbTool {

class CommandOptions {
public:
    // Reads arguments[first...]; `flags` are the options without a value, `valued` those with one.
    CommandOptions(const Arguments& arguments, std::size_t first, const std::set<std::string>& flags,
                   const std::set<std::string>& valued) {
        for (std::size_t i = first; i < arguments.size(); ++i) {
            const std::string& name = arguments[i];
            if (name.rfind("--", 0) != 0)
                throw std::runtime_error("unexpected argument '" + name + "'");
            const std::string key = name.substr(2);
            if (values_.count(key))
                throw std::runtime_error("option " + name + " given twice");
            if (flags.count(key)) {
                values_[key] = "";
            } else if (valued.count(key)) {
                if (i + 1 >= arguments.size())
                    throw std::runtime_error("option " + name + " needs a value");
                values_[key] = arguments[++i];
            } else {
                throw std::runtime_error("unknown option " + name);
            }
        }
    }

    bool has(const std::string& key) const { return values_.count(key) != 0; }
    const std::string& value(const std::string& key) const {
        auto found = values_.find(key);
        if (found == values_.end())
            throw std::runtime_error("option --" + key + " is required");
        return found->second;
    }
    // Refuses options that do not belong together with `reason`.
    void refuse(const std::set<std::string>& keys, const std::string& reason) const {
        for (const std::string& key : keys)
            if (has(key))
                throw std::runtime_error("option --" + key + " " + reason);
    }

private:
    std::map<std::string, std::string> values_;
};

// A finite decimal float, all of the text.
inline float parseFloat(const std::string& text, const std::string& what) {
    errno = 0;
    char* end = nullptr;
    const float value = std::strtof(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(value))
        throw std::runtime_error(what + ": '" + text + "' is not a finite number");
    return value;
}

// A non-negative integer up to `maximum`, all of the text.
inline unsigned long long parseUnsigned(const std::string& text, const std::string& what, unsigned long long maximum) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        throw std::runtime_error(what + ": '" + text + "' is not a non-negative integer");
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
    if (errno == ERANGE || value > maximum)
        throw std::runtime_error(what + ": " + text + " is larger than " + std::to_string(maximum));
    return value;
}

// Text split at `separator`, keeping empty pieces.
inline std::vector<std::string> splitText(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    std::string piece;
    std::istringstream stream(text);
    while (std::getline(stream, piece, separator))
        pieces.push_back(piece);
    if (!text.empty() && text.back() == separator)
        pieces.push_back("");
    if (text.empty())
        pieces.push_back("");
    return pieces;
}

// "X,Y[,Z...]" with exactly `count` floats.
inline std::vector<float> parseFloatList(const std::string& text, std::size_t count, const std::string& what) {
    const std::vector<std::string> pieces = splitText(text, ',');
    if (pieces.size() != count)
        throw std::runtime_error(what + ": '" + text + "' needs " + std::to_string(count) + " comma-separated numbers");
    std::vector<float> values;
    for (const std::string& piece : pieces)
        values.push_back(parseFloat(piece, what));
    return values;
}

} // namespace OrbTool
