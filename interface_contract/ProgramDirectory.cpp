#include "interface_contract/ProgramDirectory.h"

#include <mutex>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <climits>
#include <cstdlib>
#endif

namespace Kestrel::InterfaceContract {

namespace {
// Function-local so that tests may set the folder during static initialisation.
struct FolderOverride {
    std::mutex mutex;
    std::string folder;
};
FolderOverride& folderOverride() {
    static FolderOverride instance;
    return instance;
}

std::string folderOf(const std::string& path) {
    std::string::size_type cut = path.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string executableFolder() {
#ifdef _WIN32
    // Long paths: grow the buffer until the whole name fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    int size = WideCharToMultiByte(CP_UTF8, 0, path.data(), int(path.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, path.data(), int(path.size()), utf8.data(), size, nullptr, nullptr);
    return folderOf(utf8);
#else
    char resolved[PATH_MAX];
    if (!realpath("/proc/self/exe", resolved))
        return {};
    return folderOf(resolved);
#endif
}
} // namespace

std::string programDirectory() {
    {
        FolderOverride& o = folderOverride();
        std::lock_guard<std::mutex> lock(o.mutex);
        if (!o.folder.empty())
            return o.folder;
    }
    return executableFolder();
}

void setLibraryFolder(const std::string& folder) {
    FolderOverride& o = folderOverride();
    std::lock_guard<std::mutex> lock(o.mutex);
    o.folder = folder;
}

} // namespace Kestrel::InterfaceContract
