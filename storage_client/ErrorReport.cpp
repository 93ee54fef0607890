#include "storage_client/ErrorReport.h"

namespace Kestrel::StorageClient {

namespace {
const char* baseName(const char* path) {
    const char* name = path;
    for (const char* c = path; *c; ++c)
        if (*c == '/' || *c == '\\')
            name = c + 1;
    return name;
}
} // namespace

std::string errorReport(const char* file, const char* function, int line, const std::string& message) {
    std::string text = "Exception:\n";
    text += "\tfile: ";
    text += baseName(file);
    text += "\n\tfunction: ";
    text += function;
    text += "\n\tline: ";
    text += std::to_string(line);
    text += "\n\tmessage: ";
    text += message;
    return text;
}

void raiseReport(const char* file, const char* function, int line, const std::string& message) {
    throw std::runtime_error(errorReport(file, function, line, message));
}

} // namespace Kestrel::StorageClient
