#include "interface_contract/RepeatedLineLimiter.h"

namespace Kestrel {

RepeatedLineLimiter::RepeatedLineLimiter(Clock clock, std::chrono::milliseconds interval)
    : clock_(std::move(clock)), interval_(interval) {}

std::string RepeatedLineLimiter::withCount(const std::string& line, uint64_t leftOut) {
    if (leftOut == 0)
        return line;
    return line + " (" + std::to_string(leftOut) + (leftOut == 1 ? " repeat" : " repeats") + " left out)";
}

std::vector<std::string> RepeatedLineLimiter::admit(const std::string& line) {
    const auto now = clock_();
    std::vector<std::string> out;
    // Counts of other texts whose interval is over: one held-back copy is written now, with
    // the number of the others. Texts that have gone quiet are forgotten.
    for (auto it = entries_.begin(); it != entries_.end();) {
        Entry& entry = it->second;
        if (it->first == line || now - entry.written < interval_) {
            ++it;
        } else if (entry.leftOut > 0) {
            out.push_back(withCount(it->first, entry.leftOut - 1));
            entry = Entry{now, 0};
            ++it;
        } else {
            it = entries_.erase(it);
        }
    }
    auto found = entries_.find(line);
    if (found == entries_.end()) {
        if (entries_.size() < maximumTracked)
            entries_.emplace(line, Entry{now, 0});
        out.push_back(line);
    } else if (now - found->second.written < interval_) {
        ++found->second.leftOut;
    } else {
        out.push_back(withCount(line, found->second.leftOut));
        found->second = Entry{now, 0};
    }
    return out;
}

} // namespace Kestrel
