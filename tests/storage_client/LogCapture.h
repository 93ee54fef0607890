#pragma once
// Collects the debug-log lines written while it lives.

#include <mutex>
#include <string>
#include <vector>

#include "interface_contract/DebugLog.h"

namespace StorageTest {

class LogCapture {
public:
    LogCapture() {
        previous_ = Kestrel::setDebugLogSink([this](const std::string& line) {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_.push_back(line);
        });
    }
    ~LogCapture() { Kestrel::setDebugLogSink(previous_); }
    std::vector<std::string> lines() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    Kestrel::DebugLogSink previous_;
};

} // namespace StorageTest
