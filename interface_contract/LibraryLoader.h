#pragma once
// Loading a companion library at run time by base name and reaching its root interface T.
//
//     Ref<Kestrel::StorageClient::ILibrary> library = load<Kestrel::StorageClient::ILibrary>("KestrelStorageClient");
//
// The base name has no extension ("KestrelStorageClient" is KestrelStorageClient.dll on Windows,
// libKestrelStorageClient.so elsewhere) and may carry a folder. The program's own folder is
// searched first, then the system's usual library search. A library is never unloaded: its
// unload requests are accepted and ignored.

#include <string>

#ifdef QT_CORE_LIB
#include <QString>
#endif

#include "interface_contract/ErrorBoundary.h"
#include "interface_contract/ProgramDirectory.h"
#include "interface_contract/Remap.h"
#include "interface_contract/SharedLibrary.h"

namespace Kestrel::InterfaceContract {

template <class T>
class Library : public Implements<ILibraryUnloader> {
public:
    ResultCode KESTREL_CALL requestUnload() override {
        return guard([&] { onUnloadRequested(); });
    }

protected:
    virtual void onUnloadRequested() {}
    virtual void onLoaded() {}
    virtual void unload() = 0;
    virtual GetLibraryInterfaceFunction resolveEntry() = 0;

    template <class U>
    friend Ref<U> load(const std::string& baseName);
};

template <class T>
class LibraryLoader final : public Library<T> {
public:
    explicit LibraryLoader(const std::string& baseName) {
        const std::string file = SharedLibrary::fileName(baseName);
        const std::string local = programDirectory();
        // A name with a folder of its own is opened as given.
        if (!local.empty() && file.find_first_of("/\\") == std::string::npos && library_.open(local + '/' + file))
            return;
        library_.open(file);
    }
    // Leaves the library loaded: the handle goes, the code stays mapped.
    ~LibraryLoader() override = default;

protected:
    void unload() override {}
    GetLibraryInterfaceFunction resolveEntry() override {
        return reinterpret_cast<GetLibraryInterfaceFunction>(library_.resolve("getLibraryInterface"));
    }

private:
    SharedLibrary library_;
};

// Root interface T of the library `baseName`, or null when the library is missing, has no entry
// point or does not answer T. Raises nothing for those cases.
template <class T>
Ref<T> load(const std::string& baseName) {
    Ref<ILibraryUnloader> loader = makeInterfaced<LibraryLoader<T>, ILibraryUnloader>(baseName);
    auto* library = static_cast<Library<T>*>(static_cast<LibraryLoader<T>*>(loader.get()));
    Ref<ILibraryUnloader> forLibrary = loader;
    GetLibraryInterfaceFunction entry = library->resolveEntry();
    if (!entry)
        return nullptr;
    Ref<IInterface> root;
    // The entry's result code is not relied on: success is the out-slot and the query.
    entry(forLibrary.detach(), reinterpret_cast<IInterface**>(root.out()));
    if (!root)
        return nullptr;
    return root.template query<T>();
}

template <class T>
Ref<T> load(const char* baseName) {
    return load<T>(std::string(baseName));
}

#ifdef QT_CORE_LIB
template <class T>
Ref<T> load(const QString& baseName) {
    return load<T>(baseName.toStdString());
}
#endif

} // namespace Kestrel::InterfaceContract
