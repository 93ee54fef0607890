// Storage through the library's interface, as the program uses it: local files and the TCP
// client against the test server on loopback (every remote read is a fresh connection for the
// reachability check and one for the read). Rates are per second of wall-clock time.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "TestStorageServer.h"
#include "interface_contract/LibraryLoader.h"
#include "interface_contract/Marshal.h"
#include "storage_client/StorageInterfaces.h"

using namespace Kestrel::InterfaceContract;
using Kestrel::StorageClient::ILibrary;
using Kestrel::StorageClient::IStorage;

namespace {

// The library's stores find their root on first use: the data folder is set before that.
Ref<ILibrary> library() {
    static Ref<ILibrary> loaded = [] {
        static std::string folder = [] {
            char pattern[] = "/tmp/orb-storage-bench-XXXXXX";
            return std::string(::mkdtemp(pattern));
        }();
        setenv("XDG_DATA_HOME", folder.c_str(), 1);
        setLibraryFolder(STORAGE_LIBRARY_FOLDER);
        return load<ILibrary>("KestrelStorageClient");
    }();
    return loaded;
}

const std::string value(100, 'v');

void write(IStorage* storage, const std::string& group, const std::string& key) {
    InArray g = inArray(group), k = inArray(key), v = inArray(value);
    check(storage, storage->write(&g, &k, &v));
}

std::string read(IStorage* storage, const std::string& group, const std::string& key) {
    InArray g = inArray(group), k = inArray(key);
    std::string result;
    OutArray out = outArray(result);
    check(storage, storage->read(&g, &k, &out));
    return result;
}

void BM_LocalWriteRead(benchmark::State& state) {
    Ref<IStorage> storage;
    check(library().get(), library()->openLocalStorage(storage.typedOut()));
    for (auto _ : state) {
        write(storage.get(), "bench", "value");
        benchmark::DoNotOptimize(read(storage.get(), "bench", "value"));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LocalWriteRead)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_LocalRead(benchmark::State& state) {
    Ref<IStorage> storage;
    check(library().get(), library()->openLocalStorage(storage.typedOut()));
    write(storage.get(), "bench", "value");
    for (auto _ : state)
        benchmark::DoNotOptimize(read(storage.get(), "bench", "value"));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LocalRead)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_RemoteRead(benchmark::State& state) {
    StorageTest::TestStorageServer server;
    server.setValue("bench", "value", value);
    Ref<IStorage> storage;
    InArray address = inArray("127.0.0.1");
    check(library().get(), library()->openRemoteStorage(&address, server.port(), storage.typedOut()));
    for (auto _ : state) {
        if (read(storage.get(), "bench", "value").size() != value.size()) {
            state.SkipWithError("remote read returned a wrong value");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RemoteRead)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
