// KestrelStorageClient loaded at run time, as the program loads it.
#include <gtest/gtest.h>

#include <cstdlib>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN  // no COM IStorage beside the storage interface
#include <windows.h>
#endif

#include "TempFolder.h"
#include "TestStorageServer.h"
#include "interface_contract/LibraryLoader.h"
#include "interface_contract/Marshal.h"
#include "interface_contract/ModuleRegistry.h"
#include "interface_contract/SharedLibrary.h"
#include "storage_client/StorageInterfaces.h"

using namespace Kestrel::InterfaceContract;
using Kestrel::StorageClient::ILibrary;
using Kestrel::StorageClient::IStorage;

namespace {

// The library's stores find their root on first use, so every test calls this first; the
// data folder lives until the program ends. On Windows the root is the user's LocalAppData
// folder, which cannot be moved for a test: there the tests run only in a throwaway Wine
// prefix, never against a real user's storage.
struct DataFolder {
    StorageTest::TempFolder folder;
    std::string root;  // the library's own storage folder
    bool usable = true;
    DataFolder() {
#ifdef _WIN32
        usable = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
        const char* appData = std::getenv("LOCALAPPDATA");
        root = std::string(appData ? appData : "") + "\\KestrelService";
#else
        setenv("XDG_DATA_HOME", folder.path().c_str(), 1);
        root = folder / "KestrelService";
#endif
        setLibraryFolder(STORAGE_LIBRARY_FOLDER);
    }
};
const DataFolder& dataFolder() {
    static const DataFolder data;
    return data;
}

class StorageLibrary : public ::testing::Test {
protected:
    const DataFolder& data = dataFolder();
    void SetUp() override {
        if (!data.usable)
            GTEST_SKIP() << "would write into this user's LocalAppData folder; runs under Wine only";
    }
};

// The library's getLibraryInterface, resolved without the loader.
GetLibraryInterfaceFunction libraryEntry() {
    static SharedLibrary module;
    if (!module.isOpen())
        module.open(SharedLibrary::fileName(STORAGE_LIBRARY_FOLDER "/KestrelStorageClient"));
    return reinterpret_cast<GetLibraryInterfaceFunction>(module.resolve("getLibraryInterface"));
}

Ref<IStorage> openLocal(const Ref<ILibrary>& library) {
    Ref<IStorage> storage;
    check(library.get(), library->openLocalStorage(storage.typedOut()));
    return storage;
}

Ref<IStorage> openRemote(const Ref<ILibrary>& library, const std::string& address, uint32_t port) {
    Ref<IStorage> storage;
    InArray text = inArray(address);
    check(library.get(), library->openRemoteStorage(&text, port, storage.typedOut()));
    return storage;
}

void write(const Ref<IStorage>& storage, const std::string& group, const std::string& key, const std::string& value) {
    InArray g = inArray(group), k = inArray(key), v = inArray(value);
    check(storage.get(), storage->write(&g, &k, &v));
}

std::string read(const Ref<IStorage>& storage, const std::string& group, const std::string& key) {
    InArray g = inArray(group), k = inArray(key);
    std::string value = "stale";
    OutArray out = outArray(value);
    check(storage.get(), storage->read(&g, &k, &out));
    return value;
}

std::string next(const Ref<IStorage>& storage, const std::string& group, const std::string& key) {
    InArray g = inArray(group), k = inArray(key);
    std::string value = "stale";
    OutArray out = outArray(value);
    check(storage.get(), storage->next(&g, &k, &out));
    return value;
}

bool exists(const Ref<IStorage>& storage) {
    Boolean answer = 0x1234;
    check(storage.get(), storage->exists(&answer));
    EXPECT_TRUE(answer == BooleanTrue || answer == BooleanFalse) << answer;
    return answer != BooleanFalse;
}

// A host unloader that counts the library's requests.
class CountingUnloader final : public Implements<ILibraryUnloader> {
public:
    int requests = 0;
    ResultCode KESTREL_CALL requestUnload() override {
        ++requests;
        return 0;
    }
};

TEST_F(StorageLibrary, LoadedTwiceGivesTwoIndependentLibraries) {
    const int32_t hostObjects = ModuleRegistry::liveObjectCount();
    {
        Ref<ILibrary> first = load<ILibrary>("KestrelStorageClient");
        Ref<ILibrary> second = load<ILibrary>("KestrelStorageClient");
        ASSERT_TRUE(first);
        ASSERT_TRUE(second);
        EXPECT_NE(first.get(), second.get());
        Ref<IStorage> storage = openLocal(second);
        first.reset();
        write(storage, "environment", "default", "CODE");
        EXPECT_EQ("CODE", read(openLocal(second), "environment", "default"));
        EXPECT_EQ("CODE", StorageTest::fileContent(StorageTest::native(data.root + "/environment/default")));
    }
    // The library let go of both loaders when its last object went.
    EXPECT_EQ(hostObjects, ModuleRegistry::liveObjectCount());
}

TEST_F(StorageLibrary, LastReleaseAsksTheHostToUnload) {
    auto entry = libraryEntry();
    ASSERT_TRUE(entry);

    Ref<CountingUnloader> host = Ref<CountingUnloader>::share(new CountingUnloader);
    host->AddRef();
    Ref<IInterface> root;
    ASSERT_EQ(0u, entry(host.get(), root.typedOut()));
    EXPECT_EQ(2u, host->faceReferenceCount());
    Ref<ILibrary> library = root.queryChecked<ILibrary>();
    root.reset();
    Ref<IStorage> storage = openLocal(library);
    library.reset();
    EXPECT_EQ(0, host->requests);  // the storage object still lives
    EXPECT_TRUE(exists(storage));
    storage.reset();
    EXPECT_EQ(1, host->requests);
    EXPECT_EQ(1u, host->faceReferenceCount());  // the library released its reference
}

TEST_F(StorageLibrary, NullOutSlotsAreInvalidArguments) {
    auto entry = libraryEntry();
    ASSERT_TRUE(entry);
    Ref<CountingUnloader> host = Ref<CountingUnloader>::share(new CountingUnloader);
    host->AddRef();
    EXPECT_EQ(0x80070057u, entry(host.get(), nullptr));
    EXPECT_EQ(1u, host->faceReferenceCount());  // not kept when nothing can hold the library

    Ref<ILibrary> library = load<ILibrary>("KestrelStorageClient");
    ASSERT_TRUE(library);
    EXPECT_EQ(0x80070057u, library->openLocalStorage(nullptr));
    InArray address = inArray("127.0.0.1");
    EXPECT_EQ(0x80070057u, library->openRemoteStorage(&address, 1, nullptr));
}

TEST_F(StorageLibrary, OutSlotIsReplacedAndItsContentReleased) {
    Ref<ILibrary> library = load<ILibrary>("KestrelStorageClient");
    ASSERT_TRUE(library);
    Ref<IStorage> kept = openLocal(library);
    IStorage* slot = kept.get();
    EXPECT_EQ(2u, slot->AddRef());  // the reference the slot holds
    ASSERT_EQ(0u, library->openLocalStorage(&slot));
    EXPECT_NE(kept.get(), slot);
    // The old object lost the slot's reference: only `kept` is left on it.
    EXPECT_EQ(2u, kept->AddRef());
    kept->Release();
    slot->Release();
}

TEST_F(StorageLibrary, LocalStorageThroughTheInterface) {
    Ref<IStorage> storage = openLocal(load<ILibrary>("KestrelStorageClient"));
    ASSERT_TRUE(storage);
    write(storage, "walk", "only", std::string("a\0b", 3));
    EXPECT_EQ(std::string("a\0b", 3), read(storage, "walk", "only"));
    EXPECT_EQ("only", next(storage, "walk", ""));
    EXPECT_EQ("", next(storage, "walk", "only"));
    EXPECT_EQ("", read(storage, "nodefault", "default"));
    try {
        read(storage, "walk", "gone");
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(0x80004005u, e.code());
        EXPECT_EQ("Read file error: file " + StorageTest::native(data.root + "/walk/gone") + " is not exist", e.message());
    }
    try {
        next(storage, "walk", "gone");
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ("Invalid key", e.message());
    }
}

TEST_F(StorageLibrary, RemoteStorageThroughTheInterface) {
    Ref<ILibrary> library = load<ILibrary>("KestrelStorageClient");
    ASSERT_TRUE(library);
    uint16_t port;
    {
        StorageTest::TestStorageServer server;
        port = server.port();
        Ref<IStorage> storage = openRemote(library, "127.0.0.1", port);
        EXPECT_TRUE(exists(storage));
        write(storage, "placement", "default", "P");
        EXPECT_EQ("P", read(storage, "placement", "default"));
        EXPECT_EQ("P", server.values().at("placement").at("default"));
    }
    Ref<IStorage> stopped = openRemote(library, "127.0.0.1", port);
    EXPECT_FALSE(exists(stopped));
    EXPECT_EQ("", read(stopped, "placement", "default"));
    try {
        next(stopped, "placement", "");
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(0x80004005u, e.code());
        const std::string text = e.message();
        EXPECT_EQ("\tmessage: Failed to connect to tcp server", text.substr(text.rfind('\n') + 1));
    }
}

} // namespace
