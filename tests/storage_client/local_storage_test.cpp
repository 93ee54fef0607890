// The plain-file storage: layout, the ".default" rule, enumeration, messages, name safety and
// whole-file writes.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <set>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TempFolder.h"
#include "storage_client/FileSystem.h"
#include "storage_client/Win32Storage.h"

using Kestrel::Storage::StorageLayout;
using Kestrel::Storage::Win32Storage;
using StorageTest::fileContent;
using StorageTest::putFile;
using StorageTest::TempFolder;
using StorageTest::treeOf;

namespace {

class LocalStorage : public ::testing::Test {
protected:
    TempFolder temp;
    Win32Storage storage{StorageLayout::Own, temp.path()};
    std::string root() const { return temp / "KestrelService"; }

    // The text of the runtime error `operation` raises, or "no error".
    template <class F>
    static std::string errorOf(F&& operation) {
        try {
            operation();
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "no error";
    }
};

TEST_F(LocalStorage, RootFoldersOfBothLayoutsAreCreatedWithTheirParents) {
    TempFolder base;
    Win32Storage own(StorageLayout::Own, base / "deep/er");
    Win32Storage service(StorageLayout::Service, base / "deep/er");
    EXPECT_EQ(base / "deep/er/KestrelService", own.rootFolder());
    EXPECT_EQ(base / "deep/er/Packages/kestrel.kestrelservice_q7mz2x4kd8wpn/LocalState", service.rootFolder());
    EXPECT_TRUE(std::filesystem::is_directory(own.rootFolder()));
    EXPECT_TRUE(std::filesystem::is_directory(service.rootFolder()));
}

TEST_F(LocalStorage, ValuesAreFilesOfRawBytes) {
    const std::string value("bin\0ary\xff\r\n", 10);
    storage.write("environment", "room", value);
    EXPECT_EQ(value, fileContent(root() + "/environment/room"));
    EXPECT_EQ(value, storage.read("environment", "room"));
    storage.write("environment", "room", "short");
    EXPECT_EQ("short", storage.read("environment", "room"));
    storage.write("environment", "room", "");
    EXPECT_EQ("", storage.read("environment", "room"));
}

TEST_F(LocalStorage, ReadOfAMissingKeyNamesThePath) {
    EXPECT_EQ("Read file error: file " + root() + "/environment/nothing is not exist",
              errorOf([&] { storage.read("environment", "nothing"); }));
    // Every operation makes sure the group folder exists.
    EXPECT_TRUE(std::filesystem::is_directory(root() + "/environment"));
}

TEST_F(LocalStorage, DefaultFollowsTheDefaultFile) {
    // No ".default": the default entry reads as empty and removing it is a no-op.
    EXPECT_EQ("", storage.read("placement", "default"));
    EXPECT_NO_THROW(storage.remove("placement", "default"));

    putFile(root() + "/placement/.default", "room");
    putFile(root() + "/placement/room", "room placement");
    EXPECT_EQ("room placement", storage.read("placement", "default"));

    storage.write("placement", "default", "moved");
    EXPECT_EQ("moved", fileContent(root() + "/placement/room"));
    EXPECT_FALSE(std::filesystem::exists(root() + "/placement/default"));

    storage.remove("placement", "default");
    EXPECT_FALSE(std::filesystem::exists(root() + "/placement/room"));
    EXPECT_EQ("Read file error: file " + root() + "/placement/room is not exist",
              errorOf([&] { storage.read("placement", "default"); }));

    // ".default" is itself an ordinary key.
    storage.write("placement", ".default", "hall");
    EXPECT_EQ("hall", fileContent(root() + "/placement/.default"));
}

TEST_F(LocalStorage, FirstDefaultOfAGroupIsReadBack) {
    storage.write("environment", "default", "CODE");
    EXPECT_EQ("CODE", storage.read("environment", "default"));
    EXPECT_EQ("default", fileContent(root() + "/environment/.default"));
    EXPECT_EQ("CODE", fileContent(root() + "/environment/default"));
}

TEST_F(LocalStorage, DefaultFileCannotLeadOutOfTheGroup) {
    putFile(temp / "secret", "outside");
    putFile(root() + "/environment/.default", "../../secret");
    EXPECT_EQ("Invalid key name", errorOf([&] { storage.read("environment", "default"); }));
    EXPECT_EQ("Invalid key name", errorOf([&] { storage.write("environment", "default", "x"); }));
    EXPECT_EQ("Invalid key name", errorOf([&] { storage.remove("environment", "default"); }));
    EXPECT_EQ("outside", fileContent(temp / "secret"));
}

TEST_F(LocalStorage, NamesThatLeaveTheGroupFolderAreRefused) {
    putFile(temp / "secret", "outside");
    ASSERT_EQ("KestrelService\nsecret\n", treeOf(temp.path()));
    const std::vector<std::string> bad = {"", ".", "..", "../secret", "a/b", "/tmp", "a\\b", std::string("a\0b", 3),
                                          "..\\..", ".kestrel-tmp-1-1"};
    for (const std::string& name : bad) {
        SCOPED_TRACE(testing::PrintToString(name));
        EXPECT_EQ("Invalid group name", errorOf([&] { storage.write(name, "key", "x"); }));
        EXPECT_EQ("Invalid group name", errorOf([&] { storage.read(name, "key"); }));
        EXPECT_EQ("Invalid group name", errorOf([&] { storage.remove(name, "key"); }));
        EXPECT_EQ("Invalid group name", errorOf([&] { storage.next(name, ""); }));
        EXPECT_EQ("Invalid key name", errorOf([&] { storage.write("group", name, "x"); }));
        EXPECT_EQ("Invalid key name", errorOf([&] { storage.read("group", name); }));
        EXPECT_EQ("Invalid key name", errorOf([&] { storage.remove("group", name); }));
        if (!name.empty()) {
            EXPECT_EQ("Invalid key name", errorOf([&] { storage.next("group", name); }));
        }
    }
    // Only the folder of the valid group "group" appeared.
    EXPECT_EQ("KestrelService\nKestrelService/group\nsecret\n", treeOf(temp.path()));
    EXPECT_EQ("outside", fileContent(temp / "secret"));
}

TEST_F(LocalStorage, NextWalksTheFolderInEnumerationOrder) {
    EXPECT_EQ("", storage.next("empty", ""));
    EXPECT_EQ("Invalid key", errorOf([&] { storage.next("empty", "missing"); }));

    const std::set<std::string> keys = {"a", "b", "c", ".default", "sub"};
    for (const auto& key : keys)
        putFile(root() + "/walk/" + key, key);
    std::filesystem::remove(root() + "/walk/sub");
    std::filesystem::create_directory(root() + "/walk/sub");  // folders are entries too

    std::vector<std::string> walked;
    for (std::string key = storage.next("walk", ""); !key.empty(); key = storage.next("walk", key)) {
        walked.push_back(key);
        ASSERT_LE(walked.size(), keys.size());
    }
    EXPECT_EQ(keys, std::set<std::string>(walked.begin(), walked.end()));
    EXPECT_EQ(Kestrel::Storage::FileSystem::listFolder(root() + "/walk"), walked);
    EXPECT_EQ("", storage.next("walk", walked.back()));
    EXPECT_EQ("Invalid key", errorOf([&] { storage.next("walk", "zzz"); }));
}

TEST_F(LocalStorage, RemoveOfAMissingKeySucceeds) {
    EXPECT_NO_THROW(storage.remove("environment", "never"));
    storage.write("environment", "once", "x");
    storage.remove("environment", "once");
    EXPECT_FALSE(std::filesystem::exists(root() + "/environment/once"));
}

TEST_F(LocalStorage, FailuresOfTheFileSystemGiveTheirMessages) {
    // A key that is a non-empty folder can be neither replaced nor deleted.
    putFile(root() + "/g/folder/inside", "x");
    EXPECT_EQ("Write file error", errorOf([&] { storage.write("g", "folder", "value"); }));
    EXPECT_EQ("Remove file error", errorOf([&] { storage.remove("g", "folder"); }));
    EXPECT_EQ("Read file error: file " + root() + "/g/folder is not exist",
              errorOf([&] { storage.read("g", "folder"); }));
    // The failed write left no temporary file behind.
    EXPECT_EQ("folder\nfolder/inside\n", treeOf(root() + "/g"));
}

TEST_F(LocalStorage, ValuesBeyondThirtyTwoBitLengthsAreRefused) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "needs an address-space limit, which sanitizers do not allow";
#else
    // Sparse, so it costs no disk space; read whole it would cross the interface cut short.
    putFile(root() + "/g/huge", "");
    std::filesystem::resize_file(root() + "/g/huge", (1ull << 32) + 1);
    const std::string expected = "Read file error: file " + root() + "/g/huge is too large";
    // In a child whose address space is limited, so that a regression fails with bad_alloc
    // instead of filling the machine's memory.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rlimit limit{1ull << 30, 1ull << 30};
        setrlimit(RLIMIT_AS, &limit);
        _exit(errorOf([&] { storage.read("g", "huge"); }) == expected ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    std::filesystem::resize_file(root() + "/g/huge", 3);
    EXPECT_EQ(std::string(3, '\0'), storage.read("g", "huge"));
#endif
}

TEST_F(LocalStorage, EmptyRootMeansTheCurrentFolder) {
    Win32Storage relative(StorageLayout::Own, "");
    EXPECT_EQ("", relative.rootFolder());
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(temp.path());
    relative.write("here", "key", "value");
    std::filesystem::current_path(previous);
    EXPECT_EQ("value", fileContent(temp / "here/key"));
}

TEST(LocalAppDataFolder, FollowsXdgThenHome) {
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    const char* savedXdg = std::getenv("XDG_DATA_HOME");
    const std::string xdg = savedXdg ? savedXdg : "";

    setenv("XDG_DATA_HOME", "/data/xdg", 1);
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ("/data/xdg", Kestrel::Storage::FileSystem::localAppDataFolder());
    // A relative XDG_DATA_HOME is not a location.
    setenv("XDG_DATA_HOME", "relative", 1);
    EXPECT_EQ("/home/someone/.local/share", Kestrel::Storage::FileSystem::localAppDataFolder());
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ("/home/someone/.local/share", Kestrel::Storage::FileSystem::localAppDataFolder());
    unsetenv("HOME");
    EXPECT_EQ("", Kestrel::Storage::FileSystem::localAppDataFolder());

    setenv("HOME", savedHome.c_str(), 1);
    if (savedXdg)
        setenv("XDG_DATA_HOME", xdg.c_str(), 1);
}

// A reader in one process sees a value written by another process whole or not at all.
TEST_F(LocalStorage, ConcurrentReaderSeesWholeValues) {
    const std::string first(1 << 20, 'A');
    const std::string second(3 << 19, 'B');
    storage.write("race", "value", first);

    pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        Win32Storage own(StorageLayout::Own, temp.path());
        for (int i = 0;; ++i)
            own.write("race", "value", i % 2 ? first : second);
    }
    int torn = 0;
    std::set<std::size_t> sizes;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int reads = 0;
    for (; reads < 300 || (sizes.size() < 2 && std::chrono::steady_clock::now() < deadline); ++reads) {
        std::string seen = storage.read("race", "value");
        sizes.insert(seen.size());
        if (seen != first && seen != second)
            ++torn;
    }
    // Killed in the middle of writes, the writer may leave a temporary file but never a torn value.
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
    EXPECT_EQ(0, torn) << "of " << reads << " reads";
    // Both values were seen, so the reads really overlapped the writes.
    EXPECT_EQ((std::set<std::size_t>{first.size(), second.size()}), sizes);
    const std::string last = storage.read("race", "value");
    EXPECT_TRUE(last == first || last == second);
    // Temporary files are never listed.
    EXPECT_EQ("value", storage.next("race", ""));
    EXPECT_EQ("", storage.next("race", "value"));
}

} // namespace
