#include <gtest/gtest.h>

#include "interface_contract/LibraryLoader.h"
#include "interface_contract/ModuleRegistry.h"
#include "TestInterfaces.h"

using namespace TestAbi;

namespace {
using CountFunction = int32_t (*)();

int32_t libraryLiveObjects(const char* name) {
    SharedLibrary library;
    library.open(programDirectory() + "/" + SharedLibrary::fileName(name));
    auto count = reinterpret_cast<CountFunction>(library.resolve("testLiveObjectCount"));
    return count ? count() : -1;
}
// Set while other translation units may not have been initialised yet.
const bool folderSetDuringStaticInitialisation = [] {
    setLibraryFolder("/static-initialisation");
    bool seen = programDirectory() == "/static-initialisation";
    setLibraryFolder("");
    return seen;
}();
} // namespace

TEST(LibraryLoader, FolderCanBeSetDuringStaticInitialisation) { EXPECT_TRUE(folderSetDuringStaticInitialisation); }

// Runs first: once a library is loaded, the system loader finds it again by name.
TEST(LibraryLoader, LibraryFolderCanBePointedElsewhere) {
    setLibraryFolder("/nonexistent-folder");
#ifdef _WIN32
    // Windows' own search starts in the program's folder, so the library is still found.
    EXPECT_TRUE(load<ITestRoot>("KestrelTestRoot"));
#else
    EXPECT_FALSE(load<ITestRoot>("KestrelTestRoot"));
#endif
    setLibraryFolder("");
    EXPECT_TRUE(load<ITestRoot>("KestrelTestRoot"));
}

// A name with a folder is opened from that folder only, with "/" as separator on every platform.
TEST(LibraryLoader, NameWithFolderIsOpenedFromThatFolder) {
    const std::string own = programDirectory();
    setLibraryFolder("/nonexistent-folder");
    EXPECT_TRUE(load<ITestRoot>(own + "/KestrelTestRoot"));
    EXPECT_FALSE(load<ITestRoot>(own + "/no-such-subfolder/KestrelTestRoot"));
    setLibraryFolder("");
}

TEST(LibraryLoader, MissingLibraryGivesNullAndLeaksNothing) {
    int32_t before = ModuleRegistry::liveObjectCount();
    Ref<ITestRoot> root = load<ITestRoot>("NoSuchKestrelLibrary");
    EXPECT_FALSE(root);
    EXPECT_EQ(before, ModuleRegistry::liveObjectCount());
}

TEST(LibraryLoader, LibraryWithoutEntryPointGivesNull) {
    int32_t before = ModuleRegistry::liveObjectCount();
    EXPECT_FALSE(load<ITestRoot>("KestrelTestNoExport"));
    EXPECT_EQ(before, ModuleRegistry::liveObjectCount());
}

TEST(LibraryLoader, RootWithoutTheInterfaceGivesNull) {
    int32_t before = ModuleRegistry::liveObjectCount();
    EXPECT_FALSE(load<ITestRoot>("KestrelTestOther"));
    // The library let go of its only object, so it released our unloader too.
    EXPECT_EQ(0, libraryLiveObjects("KestrelTestOther"));
    EXPECT_EQ(before, ModuleRegistry::liveObjectCount());
}

TEST(LibraryLoader, LoadsCallsAndUnloadsCleanly) {
    int32_t before = ModuleRegistry::liveObjectCount();
    {
        Ref<ITestRoot> first = load<ITestRoot>("KestrelTestRoot");
        Ref<ITestRoot> second = load<ITestRoot>("KestrelTestRoot");
        ASSERT_TRUE(first);
        ASSERT_TRUE(second);
        EXPECT_NE(first.get(), second.get());
        EXPECT_EQ(2, libraryLiveObjects("KestrelTestRoot"));
        // Each load leaves one loader alive here, held by the library.
        EXPECT_EQ(before + 2, ModuleRegistry::liveObjectCount());

        int32_t sum = 0;
        check(first.get(), first->add(20, 22, &sum));
        EXPECT_EQ(42, sum);
        try {
            check(first.get(), first->fail(ContractFailure));
            ADD_FAILURE() << "no exception";
        } catch (const Exception& e) {
            EXPECT_EQ(0x80001234u, e.code());
            EXPECT_STREQ("contract", e.what());
        }
    }
    EXPECT_EQ(0, libraryLiveObjects("KestrelTestRoot"));
    // The library asked our loaders to unload and released them.
    EXPECT_EQ(before, ModuleRegistry::liveObjectCount());
}

