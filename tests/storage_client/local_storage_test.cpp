// The plain-file storage: layout, the ".default" rule, enumeration, messages, name safety and
// whole-file writes.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <set>
#include <atomic>
#include <future>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "TempFolder.h"
#include "storage_client/FileSystem.h"
#include "storage_client/Win32Storage.h"

using Kestrel::Storage::StorageLayout;
using Kestrel::Storage::Win32Storage;
using StorageTest::fileContent;
using StorageTest::native;
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
    EXPECT_EQ(value, fileContent(native(root() + "/environment/room")));
    EXPECT_EQ(value, storage.read("environment", "room"));
    storage.write("environment", "room", "short");
    EXPECT_EQ("short", storage.read("environment", "room"));
    storage.write("environment", "room", "");
    EXPECT_EQ("", storage.read("environment", "room"));
}

TEST_F(LocalStorage, ReadOfAMissingKeyNamesThePath) {
    EXPECT_EQ("Read file error: file " + native(root() + "/environment/nothing is not exist"),
              errorOf([&] { storage.read("environment", "nothing"); }));
    // Every operation makes sure the group folder exists.
    EXPECT_TRUE(std::filesystem::is_directory(native(root() + "/environment")));
}

TEST_F(LocalStorage, DefaultFollowsTheDefaultFile) {
    // No ".default": the default entry reads as empty and removing it is a no-op.
    EXPECT_EQ("", storage.read("placement", "default"));
    EXPECT_NO_THROW(storage.remove("placement", "default"));

    putFile(native(root() + "/placement/.default"), "room");
    putFile(native(root() + "/placement/room"), "room placement");
    EXPECT_EQ("room placement", storage.read("placement", "default"));

    storage.write("placement", "default", "moved");
    EXPECT_EQ("moved", fileContent(native(root() + "/placement/room")));
    EXPECT_FALSE(std::filesystem::exists(native(root() + "/placement/default")));

    storage.remove("placement", "default");
    EXPECT_FALSE(std::filesystem::exists(native(root() + "/placement/room")));
    EXPECT_EQ("Read file error: file " + native(root() + "/placement/room is not exist"),
              errorOf([&] { storage.read("placement", "default"); }));

    // ".default" is itself an ordinary key.
    storage.write("placement", ".default", "hall");
    EXPECT_EQ("hall", fileContent(native(root() + "/placement/.default")));
}

TEST_F(LocalStorage, FirstDefaultOfAGroupIsReadBack) {
    storage.write("environment", "default", "CODE");
    EXPECT_EQ("CODE", storage.read("environment", "default"));
    EXPECT_EQ("default", fileContent(native(root() + "/environment/.default")));
    EXPECT_EQ("CODE", fileContent(native(root() + "/environment/default")));
}

TEST_F(LocalStorage, DefaultFileCannotLeadOutOfTheGroup) {
    putFile(temp / "secret", "outside");
    putFile(native(root() + "/environment/.default"), "../../secret");
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
        putFile(native(root() + "/walk/") + key, key);
    std::filesystem::remove(native(root() + "/walk/sub"));
    std::filesystem::create_directory(native(root() + "/walk/sub"));  // folders are entries too

    std::vector<std::string> walked;
    for (std::string key = storage.next("walk", ""); !key.empty(); key = storage.next("walk", key)) {
        walked.push_back(key);
        ASSERT_LE(walked.size(), keys.size());
    }
    EXPECT_EQ(keys, std::set<std::string>(walked.begin(), walked.end()));
    EXPECT_EQ(Kestrel::Storage::FileSystem::listFolder(native(root() + "/walk")), walked);
    EXPECT_EQ("", storage.next("walk", walked.back()));
    EXPECT_EQ("Invalid key", errorOf([&] { storage.next("walk", "zzz"); }));
}

TEST_F(LocalStorage, RemoveOfAMissingKeySucceeds) {
    EXPECT_NO_THROW(storage.remove("environment", "never"));
    storage.write("environment", "once", "x");
    storage.remove("environment", "once");
    EXPECT_FALSE(std::filesystem::exists(native(root() + "/environment/once")));
}

TEST_F(LocalStorage, FailuresOfTheFileSystemGiveTheirMessages) {
    // A key that is a non-empty folder can be neither replaced nor deleted.
    putFile(native(root() + "/g/folder/inside"), "x");
    EXPECT_EQ("Write file error", errorOf([&] { storage.write("g", "folder", "value"); }));
    EXPECT_EQ("Remove file error", errorOf([&] { storage.remove("g", "folder"); }));
    EXPECT_EQ("Read file error: file " + native(root() + "/g/folder is not exist"),
              errorOf([&] { storage.read("g", "folder"); }));
    // The failed write left no temporary file behind.
    EXPECT_EQ("folder\nfolder/inside\n", treeOf(native(root() + "/g")));
}

TEST_F(LocalStorage, ValuesBeyondThirtyTwoBitLengthsAreRefused) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "needs an address-space limit, which sanitizers do not allow";
#elif defined(_WIN32)
    putFile(native(root() + "/g/huge"), "");
    std::filesystem::resize_file(native(root() + "/g/huge"), (1ull << 32) + 1);
    EXPECT_EQ("Read file error: file " + native(root() + "/g/huge is too large"), errorOf([&] { storage.read("g", "huge"); }));
#else
    // Sparse, so it costs no disk space; read whole it would cross the interface cut short.
    putFile(native(root() + "/g/huge"), "");
    std::filesystem::resize_file(native(root() + "/g/huge"), (1ull << 32) + 1);
    const std::string expected = "Read file error: file " + native(root() + "/g/huge is too large");
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
    std::filesystem::resize_file(native(root() + "/g/huge"), 3);
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

#ifdef _WIN32
// The known folder LocalAppData, which the system also names in %LOCALAPPDATA%, with backslashes
// down to the value's file.
TEST(LocalAppDataFolder, IsTheKnownFolderWithBackslashPaths) {
    const char* expected = std::getenv("LOCALAPPDATA");
    ASSERT_TRUE(expected);
    const std::string folder = Kestrel::Storage::FileSystem::localAppDataFolder();
    EXPECT_EQ(std::string(expected), folder);
    EXPECT_EQ(std::string::npos, folder.find('/'));
    Win32Storage own(StorageLayout::Own);
    EXPECT_EQ(folder + "\\KestrelService", own.rootFolder());
    own.write("orb-known-folder-test", "key", "value");
    const std::string file = folder + "\\KestrelService\\orb-known-folder-test\\key";
    EXPECT_EQ("value", fileContent(file));
    own.remove("orb-known-folder-test", "key");
    EXPECT_FALSE(std::filesystem::exists(file));
    std::filesystem::remove(folder + "\\KestrelService\\orb-known-folder-test");
}
#else
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

#endif

// Names Windows would store under another name, or not as a file at all, are refused on every
// platform, so that a storage folder means the same everywhere.
TEST_F(LocalStorage, NamesWindowsCannotStoreAreRefused) {
    const std::vector<std::string> bad = {"CON", "con", "Nul", "AUX", "PRN", "COM1", "lpt9", "NUL.txt", "CON .x",
                                          "trailing.", "trailing ", "a:b", "a*b", "a?b", "a<b", "a>b", "a|b",
                                          "a\"b", "tab\there", "line\n"};
    for (const std::string& name : bad) {
        SCOPED_TRACE(testing::PrintToString(name));
        EXPECT_EQ("Invalid group name", errorOf([&] { storage.write(name, "key", "x"); }));
        EXPECT_EQ("Invalid key name", errorOf([&] { storage.write("group", name, "x"); }));
        EXPECT_EQ("Invalid key name", errorOf([&] { storage.read("group", name); }));
    }
    // Near misses stay valid names.
    for (const char* name : {"CONSOLE", "COM10", "COM0", "nul-device", ".hidden", "a.b", " lead", "x.CON"}) {
        SCOPED_TRACE(name);
        EXPECT_NO_THROW(storage.write("group", name, name));
        EXPECT_EQ(name, storage.read("group", name));
    }
}

// Replacing a value while another thread reads it: every read sees one whole value and no
// write fails (on Windows a reader's open handle must not block the replace).
TEST_F(LocalStorage, ReplaceWhileAnotherThreadReads) {
    const std::string first(256 << 10, 'A');
    const std::string second(384 << 10, 'B');
    storage.write("race", "value", first);
    std::atomic<bool> done{false};
    std::atomic<int> failedWrites{0};
    std::thread writer([&] {
        Win32Storage own(StorageLayout::Own, temp.path());
        for (int i = 0; i < 200; ++i) {
            try {
                own.write("race", "value", i % 2 ? first : second);
            } catch (const std::runtime_error&) {
                ++failedWrites;
            }
        }
        done = true;
    });
    int torn = 0, reads = 0;
    std::set<std::size_t> sizes;
    while (!done) {
        std::string seen = storage.read("race", "value");
        sizes.insert(seen.size());
        torn += seen != first && seen != second;
        ++reads;
    }
    writer.join();
    EXPECT_EQ(0, failedWrites.load());
    EXPECT_EQ(0, torn) << "of " << reads << " reads";
    EXPECT_EQ("value", storage.next("race", ""));
    EXPECT_EQ("", storage.next("race", "value"));
}

#ifndef _WIN32
// A FIFO in a group folder reads as a missing value at once; opening it for reading used to
// wait for a writer forever.
TEST_F(LocalStorage, FifoInAGroupFolderIsRefusedWithoutWaiting) {
    storage.write("g", "plain", "x");
    const std::string fifo = root() + "/g/pipe";
    ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
    auto reading = std::async(std::launch::async, [&] { return errorOf([&] { storage.read("g", "pipe"); }); });
    if (reading.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        ADD_FAILURE() << "read of a FIFO is still waiting";
        // Let the stuck read go: a writer end completes its open.
        int writerEnd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        ::close(writerEnd);
    }
    EXPECT_EQ("Read file error: file " + fifo + " is not exist", reading.get());
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

#endif

} // namespace
