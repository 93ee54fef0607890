// Races on purpose, on its own data, in the ways the suppressions of a ThreadSanitizer build must
// never hide: the build's tests run it once per case and expect a race report each time. A
// suppression entry that is too broad (Qt Core matched in any frame, or calls into the C library
// ignored wherever they come from) makes one of them fail.
#include <QCoreApplication>
#include <QObject>

#include <cstdio>
#include <cstring>
#include <thread>

namespace {

struct Counter {
    int value = 0;
};

// A handler of a toolkit signal runs on another thread, reached through the toolkit's signal
// delivery (a frame of Qt Core is on the racing stack), while the main thread writes the same
// counter.
void raceThroughSignalDelivery() {
    QObject object;
    Counter counter;
    QObject::connect(&object, &QObject::objectNameChanged, [&counter] { counter.value++; });
    std::thread other([&object] { object.setObjectName("renamed"); });
    counter.value++;
    other.join();
}

// One thread deletes an object that another still writes: the deletion is a call into the C
// library's allocator made by our code, and must be reported like any write.
void raceWithDelete() {
    auto* counter = new Counter;
    std::thread other([counter] { delete counter; });
    counter->value = 3;
    other.join();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const char* which = argc > 1 ? argv[1] : "";
    if (std::strcmp(which, "signal") == 0)
        raceThroughSignalDelivery();
    else if (std::strcmp(which, "delete") == 0)
        raceWithDelete();
    else {
        std::fprintf(stderr, "usage: race_probe signal|delete\n");
        return 2;
    }
    return 0;
}
