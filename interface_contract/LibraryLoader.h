#pragma once
// Loading a companion library at run time by base name and reaching its root interface T.
//
//     Ref<Kestrel::StorageClient::ILibrary> library = load<Kestrel::StorageClient::ILibrary>("KestrelStorageClient");
//
// The program's own folder is searched first, then the toolkit's usual library search. A
// library is never unloaded: its unload requests are accepted and ignored.

#include <QLibrary>
#include <QString>

#include "interface_contract/ErrorBoundary.h"
#include "interface_contract/ProgramDirectory.h"
#include "interface_contract/Remap.h"

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
    friend Ref<U> load(const QString& baseName);
};

template <class T>
class LibraryLoader final : public Library<T> {
public:
    explicit LibraryLoader(const QString& baseName) {
        const QString local = programDirectory();
        if (!local.isEmpty()) {
            library_.setFileName(local + QLatin1Char('/') + baseName);
            if (library_.load())
                return;
        }
        library_.setFileName(baseName);
        library_.load();
    }
    // Leaves the library loaded: the QLibrary object goes, the code stays mapped.
    ~LibraryLoader() override = default;

protected:
    void unload() override {}
    GetLibraryInterfaceFunction resolveEntry() override {
        if (!library_.isLoaded())
            return nullptr;
        return reinterpret_cast<GetLibraryInterfaceFunction>(library_.resolve("getLibraryInterface"));
    }

private:
    QLibrary library_;
};

// Root interface T of the library `baseName`, or null when the library is missing, has no entry
// point or does not answer T. Raises nothing for those cases.
template <class T>
Ref<T> load(const QString& baseName) {
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

} // namespace Kestrel::InterfaceContract
