// Choice of the local storage and its debug-log lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "LogCapture.h"
#include "TempFolder.h"
#include "interface_contract/ErrorBoundary.h"
#include "interface_contract/Marshal.h"
#include "storage_client/LocalStorageSelection.h"
#include "storage_client/Win32LocalStorageClient.h"

using namespace Kestrel::StorageClient;
using Kestrel::InterfaceContract::Boolean;
using Kestrel::InterfaceContract::check;
using Kestrel::InterfaceContract::Exception;
using Kestrel::InterfaceContract::inArray;
using Kestrel::InterfaceContract::makeInterfaced;
using Kestrel::InterfaceContract::outArray;
using Kestrel::InterfaceContract::Ref;
using Lines = std::vector<std::string>;

namespace {

// Stand-in for the app-service client: answers `exists` as told.
class FakeServiceStorage final : public BasicStorageClient {
public:
    explicit FakeServiceStorage(bool answers) : answers_(answers) {}
    std::string read(const std::string&, const std::string&) override { return "from service"; }
    void write(const std::string&, const std::string&, const std::string&) override {}
    void remove(const std::string&, const std::string&) override {}
    std::string next(const std::string&, const std::string&) override { return {}; }
    bool exists() override { return answers_; }

private:
    bool answers_;
};

struct Recorder {
    std::vector<bool> filesOpened;  // the layout flag of every fall-back
    Ref<IStorage> files = makeInterfaced<FakeServiceStorage, IStorage>(true);

    ServiceAccess access(bool installed, std::function<Ref<IStorage>()> connect) {
        ServiceAccess service;
        service.isInstalled = [installed] { return installed; };
        service.connect = std::move(connect);
        service.openFiles = [this](bool serviceLayout) {
            filesOpened.push_back(serviceLayout);
            return files;
        };
        return service;
    }
};

Ref<IStorage> failNever() {
    ADD_FAILURE() << "connect called although the service is not installed";
    return nullptr;
}

TEST(LocalStorageSelection, WithoutTheServiceUsesOwnFiles) {
    StorageTest::LogCapture log;
    Recorder recorder;
    Ref<IStorage> chosen = selectLocalStorage(recorder.access(false, failNever));
    EXPECT_EQ(recorder.files, chosen);
    EXPECT_EQ(std::vector<bool>{false}, recorder.filesOpened);
    EXPECT_EQ((Lines{"Error: UwpClient creation failed. KestrelService is not installed", "using win32 storage client"}),
              log.lines());
}

TEST(LocalStorageSelection, ServiceThatFailsToConnectFallsBackToItsFolder) {
    StorageTest::LogCapture log;
    Recorder recorder;
    selectLocalStorage(recorder.access(true, []() -> Ref<IStorage> { throw std::runtime_error("no connection"); }));
    EXPECT_EQ(std::vector<bool>{true}, recorder.filesOpened);
    EXPECT_EQ((Lines{"Error: UwpClient connection failed", "no connection", "using win32 storage client for UWP storage"}),
              log.lines());
}

TEST(LocalStorageSelection, NonStandardConnectFailureIsLoggedAsUnknown) {
    StorageTest::LogCapture log;
    Recorder recorder;
    selectLocalStorage(recorder.access(true, []() -> Ref<IStorage> { throw 7; }));
    EXPECT_EQ(std::vector<bool>{true}, recorder.filesOpened);
    EXPECT_EQ((Lines{"Error: UwpClient connection failed (unknown exception)", "using win32 storage client for UWP storage"}),
              log.lines());
}

TEST(LocalStorageSelection, ServiceThatDoesNotAnswerIsDropped) {
    StorageTest::LogCapture log;
    Recorder recorder;
    Ref<IStorage> silent = makeInterfaced<FakeServiceStorage, IStorage>(false);
    Ref<IStorage> chosen = selectLocalStorage(recorder.access(true, [&] { return silent; }));
    EXPECT_EQ(recorder.files, chosen);
    EXPECT_EQ(std::vector<bool>{true}, recorder.filesOpened);
    EXPECT_EQ((Lines{"using win32 storage client for UWP storage"}), log.lines());
}

TEST(LocalStorageSelection, AnsweringServiceIsUsed) {
    StorageTest::LogCapture log;
    Recorder recorder;
    Ref<IStorage> service = makeInterfaced<FakeServiceStorage, IStorage>(true);
    Ref<IStorage> chosen = selectLocalStorage(recorder.access(true, [&] { return service; }));
    EXPECT_EQ(service, chosen);
    EXPECT_TRUE(recorder.filesOpened.empty());
    EXPECT_EQ((Lines{"using uwp storage client"}), log.lines());
}

#ifndef _WIN32
// The platform's selection on this machine: no service application, plain files below
// XDG_DATA_HOME, and one process-wide store per layout. (On Windows the stores lie in the
// user's real LocalAppData folder, which a test leaves alone.)
TEST(LocalStorageSelection, PlatformSelectionUsesTheProcessWideStores) {
    StorageTest::TempFolder data;
    setenv("XDG_DATA_HOME", data.path().c_str(), 1);
    StorageTest::LogCapture log;
    Ref<IStorage> first = selectLocalStorage(platformServiceAccess());
    Ref<IStorage> second = selectLocalStorage(platformServiceAccess());
    EXPECT_NE(first, second);  // a new client every time
    EXPECT_EQ((Lines{"Error: UwpClient creation failed. KestrelService is not installed", "using win32 storage client",
                     "Error: UwpClient creation failed. KestrelService is not installed", "using win32 storage client"}),
              log.lines());

    Boolean exists = 0;
    check(first.get(), first->exists(&exists));
    EXPECT_NE(0u, exists);
    InArray group = inArray("environment"), key = inArray("default"), value = inArray("CODE");
    check(first.get(), first->write(&group, &key, &value));
    std::string read;
    OutArray out = outArray(read);
    check(second.get(), second->read(&group, &key, &out));
    EXPECT_EQ("CODE", read);
    EXPECT_EQ("CODE", StorageTest::fileContent(data / "KestrelService/environment/default"));

    auto& own = Kestrel::Storage::Win32Storage::instance(Kestrel::Storage::StorageLayout::Own);
    auto& service = Kestrel::Storage::Win32Storage::instance(Kestrel::Storage::StorageLayout::Service);
    EXPECT_EQ(&own, &Kestrel::Storage::Win32Storage::instance(Kestrel::Storage::StorageLayout::Own));
    EXPECT_EQ(data / "Packages/kestrel.kestrelservice_q7mz2x4kd8wpn/LocalState", service.rootFolder());

    // The fall-back for an installed service works in the service's data folder.
    Ref<IStorage> serviceFiles = platformServiceAccess().openFiles(true);
    check(serviceFiles.get(), serviceFiles->write(&group, &key, &value));
    EXPECT_EQ("CODE", StorageTest::fileContent(data / "Packages/kestrel.kestrelservice_q7mz2x4kd8wpn/LocalState/environment/default"));
}
#endif

TEST(StorageClientBoundary, FailuresCrossAsCodeAndMessage) {
    StorageTest::TempFolder data;
    Kestrel::Storage::Win32Storage files(Kestrel::Storage::StorageLayout::Own, data.path());
    Ref<IStorage> storage = makeInterfaced<Win32LocalStorageClient, IStorage>(files);
    InArray group = inArray("g"), key = inArray("missing"), bad = inArray("..");
    std::string value;
    OutArray out = outArray(value);
    try {
        check(storage.get(), storage->read(&group, &key, &out));
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(0x80004005u, e.code());
        EXPECT_EQ("Read file error: file " + data / "KestrelService/g/missing" + " is not exist", e.message());
    }
    try {
        check(storage.get(), storage->next(&group, &bad, &out));
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(0x80004005u, e.code());
        EXPECT_EQ("Invalid key name", e.message());
    }
    EXPECT_EQ(0x80070057u, storage->exists(nullptr));
    EXPECT_EQ(0x80070057u, storage->read(&group, &key, nullptr));
}

} // namespace
