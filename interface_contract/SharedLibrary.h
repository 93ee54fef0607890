#pragma once
// A shared library opened by the system's own loader (LoadLibraryW on Windows, dlopen
// elsewhere) and never closed: code of a companion library may still run (a thread, a callback)
// after its last interface is released.

#include <string>

namespace Kestrel::InterfaceContract {

class SharedLibrary {
public:
    // The platform's file name of a library given by base name, keeping its folder:
    // "dir/KestrelStorageClient" gives "dir/KestrelStorageClient.dll" on Windows and
    // "dir/libKestrelStorageClient.so" elsewhere. A name that already ends with the platform's
    // suffix is kept.
    static std::string fileName(const std::string& baseName);

    // Opens `path` (UTF-8; a bare file name takes the system's search). False on failure,
    // which is also what a library with unresolved dependencies gives.
    bool open(const std::string& path);
    bool isOpen() const { return handle_ != nullptr; }
    // Address of the exported symbol, or null.
    void* resolve(const char* symbol) const;

private:
    void* handle_ = nullptr;
};

} // namespace Kestrel::InterfaceContract
