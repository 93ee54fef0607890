#pragma once
// The text of the storage clients' error reports:
//
//     Exception:
//     \tfile: RemoteStorageClient.cpp
//     \tfunction: Kestrel::StorageClient::RemoteStorageClient::write
//     \tline: 24
//     \tmessage: <the server's or the client's text>
//
// The message is always the last line, so callers can show just that line.

#include <stdexcept>
#include <string>

namespace Kestrel::StorageClient {

std::string errorReport(const char* file, const char* function, int line, const std::string& message);

// A std::runtime_error carrying the report of the place that raised it.
[[noreturn]] void raiseReport(const char* file, const char* function, int line, const std::string& message);

} // namespace Kestrel::StorageClient

// Reports name the source file without the build machine's folders.
#define KESTREL_RAISE_REPORT(function, message) ::Kestrel::StorageClient::raiseReport(__FILE__, function, __LINE__, message)
