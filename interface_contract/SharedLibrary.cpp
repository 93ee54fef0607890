#include "interface_contract/SharedLibrary.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace Kestrel::InterfaceContract {

namespace {
bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}
} // namespace

#ifdef _WIN32

std::string SharedLibrary::fileName(const std::string& baseName) {
    return endsWith(baseName, ".dll") ? baseName : baseName + ".dll";
}

bool SharedLibrary::open(const std::string& path) {
    // The loader takes only backslashes as separators in a path it is given.
    std::string native = path;
    for (char& c : native)
        if (c == '/')
            c = '\\';
    int size = MultiByteToWideChar(CP_UTF8, 0, native.data(), int(native.size()), nullptr, 0);
    std::wstring wide(size_t(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, native.data(), int(native.size()), wide.data(), size);
    // No "cannot find the library" message box for a missing dependency.
    UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    handle_ = LoadLibraryW(wide.c_str());
    SetErrorMode(previous);
    return handle_ != nullptr;
}

void* SharedLibrary::resolve(const char* symbol) const {
    if (!handle_)
        return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), symbol));
}

#else

std::string SharedLibrary::fileName(const std::string& baseName) {
    if (endsWith(baseName, ".so"))
        return baseName;
    std::string::size_type cut = baseName.rfind('/');
    std::string::size_type start = cut == std::string::npos ? 0 : cut + 1;
    return baseName.substr(0, start) + "lib" + baseName.substr(start) + ".so";
}

bool SharedLibrary::open(const std::string& path) {
    // Every symbol resolved now: a library that cannot run fails here, not at its first call.
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    return handle_ != nullptr;
}

void* SharedLibrary::resolve(const char* symbol) const { return handle_ ? dlsym(handle_, symbol) : nullptr; }

#endif

} // namespace Kestrel::InterfaceContract
