#pragma once
// Fuzzed inputs make the libraries log on nearly every call; the lines are dropped so that the
// fuzzer's own report stays readable and the logging costs no time.

#include "interface_contract/DebugLog.h"

inline void silenceDebugLog() {
    Kestrel::setDebugLogSink([](const std::string&) {});
}
