#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "c_caller.h"
#include "interface_contract/ModuleRegistry.h"
#include "TestObjects.h"

using namespace TestAbi;

namespace {

struct Counting : TestRoot {
    static inline std::atomic<int> alive{0};
    Counting() { ++alive; }
    ~Counting() override { --alive; }
};

class TwoFaced : public Implements<ITestRoot>, public ImplementsOnFace<ITestOther, 1> {
public:
    static inline std::atomic<int> alive{0};
    std::vector<int> lastReleases;
    TwoFaced() { ++alive; }
    ~TwoFaced() override { --alive; }
    ResultCode KESTREL_CALL add(int32_t a, int32_t b, int32_t* sum) override {
        *sum = a + b;
        return 0;
    }
    ResultCode KESTREL_CALL fail(uint32_t) override { return 0; }
    ResultCode KESTREL_CALL reverse(InArray*, OutArray*) override { return 0; }
    ResultCode KESTREL_CALL nothing() override { return 0; }

protected:
    void onLastRelease(Face<0>) override { lastReleases.push_back(0); }
    void onLastRelease(Face<1>) override { lastReleases.push_back(1); }
};

class Derived : public TestRoot, public Implements<ITestDerived> {
public:
    // Both patches reach the same implementation of the ITestRoot slots.
    ResultCode KESTREL_CALL add(int32_t a, int32_t b, int32_t* sum) override { return TestRoot::add(a, b, sum); }
    ResultCode KESTREL_CALL fail(uint32_t kind) override { return TestRoot::fail(kind); }
    ResultCode KESTREL_CALL reverse(InArray* t, OutArray* r) override { return TestRoot::reverse(t, r); }
    ResultCode KESTREL_CALL seven(int32_t* value) override {
        *value = 7;
        return 0;
    }
};

class RootThenOther : public TestRoot, public Implements<ITestOther> {
public:
    ResultCode KESTREL_CALL nothing() override { return 0; }
};

uint32_t refCount(IInterface* object) {
    object->AddRef();
    return object->Release();
}

} // namespace

TEST(InterfaceId, ParsesGuidLayoutLittleEndian) {
    constexpr InterfaceId id = makeInterfaceId("A6C07D30-E3CF-44ED-B996-5F96998392E2");
    const uint8_t expected[16] = {0x30, 0x7D, 0xC0, 0xA6, 0xCF, 0xE3, 0xED, 0x44,
                                  0xB9, 0x96, 0x5F, 0x96, 0x99, 0x83, 0x92, 0xE2};
    EXPECT_EQ(0, std::memcmp(&id, expected, 16));
    EXPECT_EQ("A6C07D30-E3CF-44ED-B996-5F96998392E2", toString(id));
    InterfaceId other = id;
    other.data4[7] ^= 1;
    EXPECT_NE(id, other);
}

TEST(QueryInterface, NullResultPointerChangesNoCount) {
    Ref<ITestRoot> root = makeInterfaced<Counting, ITestRoot>();
    EXPECT_EQ(E_POINTER_CODE, root->QueryInterface(&ITestRoot::iid, nullptr));
    EXPECT_EQ(1u, refCount(root.get()));
}

TEST(QueryInterface, UnknownInterfaceAnswersNoInterfaceAndNull) {
    Ref<ITestRoot> root = makeInterfaced<Counting, ITestRoot>();
    void* result = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(E_NOINTERFACE_CODE, root->QueryInterface(&ITestOther::iid, &result));
    EXPECT_EQ(nullptr, result);
    EXPECT_EQ(1u, refCount(root.get()));
}

TEST(QueryInterface, RootInterfacesAndExceptionData) {
    Ref<ITestRoot> root = makeInterfaced<Counting, ITestRoot>();
    void* unsafe = nullptr;
    ASSERT_EQ(0u, root->QueryInterface(&IUnsafe::iid, &unsafe));
    EXPECT_EQ(static_cast<void*>(root.get()), unsafe);
    EXPECT_EQ(2u, refCount(root.get()));  // IUnsafe is answered by a counted container
    root->Release();

    void* data = nullptr;
    ASSERT_EQ(0u, root->QueryInterface(&IExceptionData::iid, &data));
    ASSERT_NE(nullptr, data);
    EXPECT_EQ(1u, refCount(root.get()));
}

TEST(QueryInterface, DerivedInterfaceAnswersItsBase) {
    Ref<ITestDerived> derived = makeInterfaced<Derived, ITestDerived>();
    Ref<ITestRoot> asRoot = derived.query<ITestRoot>();
    ASSERT_TRUE(asRoot);
    // Derived's own container is newer than TestRoot's, so it answers for ITestRoot too.
    EXPECT_EQ(static_cast<ITestRoot*>(derived.get()), asRoot.get());
    int32_t sum = 0;
    check(asRoot.get(), asRoot->add(2, 3, &sum));
    EXPECT_EQ(5, sum);
}

TEST(QueryInterface, NewestContainerAnswersIInterface) {
    Ref<ITestOther> other = makeInterfaced<RootThenOther, ITestOther>();
    Ref<IInterface> unknown = other.query<IInterface>();
    EXPECT_EQ(static_cast<IInterface*>(other.get()), unknown.get());
    EXPECT_TRUE(other.query<ITestRoot>());
}

TEST(Lifetime, LastReferenceFreesTheObject) {
    {
        Ref<ITestRoot> root = makeInterfaced<Counting, ITestRoot>();
        Ref<ITestRoot> copy = root;
        EXPECT_EQ(1, Counting::alive.load());
        root.reset();
        EXPECT_EQ(1, Counting::alive.load());
    }
    EXPECT_EQ(0, Counting::alive.load());
}

TEST(Lifetime, TwoFacesAreCountedIndependently) {
    auto* object = new TwoFaced;
    ITestRoot* face0 = object;
    ITestOther* face1 = object;
    EXPECT_EQ(1u, face0->AddRef());
    EXPECT_EQ(1u, face1->AddRef());
    EXPECT_EQ(2u, face1->AddRef());
    EXPECT_EQ(1u, face1->Release());
    EXPECT_EQ(0u, face1->Release());
    EXPECT_EQ(std::vector<int>{1}, object->lastReleases);
    EXPECT_EQ(1, TwoFaced::alive.load());
    int32_t sum = 0;
    EXPECT_EQ(0u, face0->add(1, 1, &sum));
    EXPECT_EQ(0u, face0->Release());
    EXPECT_EQ(0, TwoFaced::alive.load());
}

TEST(Lifetime, QueriedFaceCountsOnItsOwnFace) {
    auto* object = new TwoFaced;
    Ref<ITestRoot> face0 = Ref<ITestRoot>::share(object);
    Ref<ITestOther> face1 = face0.query<ITestOther>();
    ASSERT_TRUE(face1);
    EXPECT_EQ(1u, object->LifeTimeController<0>::faceReferenceCount());
    EXPECT_EQ(1u, object->LifeTimeController<1>::faceReferenceCount());
    EXPECT_EQ(2u, object->sharedReferenceCount());
    face1.reset();
    EXPECT_EQ(std::vector<int>{1}, object->lastReleases);
}

TEST(Lifetime, ConcurrentReferencesFromManyThreads) {
    Ref<ITestRoot> root = makeInterfaced<Counting, ITestRoot>();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                Ref<ITestRoot> copy = root;
                Ref<IInterface> unknown = copy.query<IInterface>();
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(1u, refCount(root.get()));
    root.reset();
    EXPECT_EQ(0, Counting::alive.load());
}

TEST(ErrorBoundary, EveryKindOfFailureBecomesItsCodeAndMessage) {
    Ref<ITestRoot> root = makeInterfaced<TestRoot, ITestRoot>();
    struct Case {
        FailKind kind;
        ResultCode code;
        std::string message;
    };
    const Case cases[] = {
        {ContractFailure, 0x80001234u, "contract"},
        {InvalidArgument, E_INVALIDARG_CODE, "bad argument"},
        {OutOfMemory, E_OUTOFMEMORY_CODE, std::bad_alloc().what()},
        {OtherStandard, E_FAIL_CODE, "runtime"},
        {NonStandard, E_FAIL_CODE, ""},
    };
    for (const Case& c : cases) {
        ResultCode code = root->fail(c.kind);
        EXPECT_EQ(c.code, code) << c.kind;
        try {
            check(root.get(), code);
            ADD_FAILURE() << "no exception for kind " << c.kind;
        } catch (const Exception& e) {
            EXPECT_EQ(c.code, e.code());
            EXPECT_EQ(c.message, e.what()) << c.kind;
        }
    }
    EXPECT_EQ(0u, root->fail(NoFailure));
    EXPECT_NO_THROW(check(root.get(), 0));
}

TEST(ErrorBoundary, ContractExceptionWithSuccessCodeStillFails) {
    ResultCode code = guard([] { throw Exception(0, "zero"); });
    EXPECT_EQ(E_FAIL_CODE, code);
    EXPECT_EQ("zero", lastErrorMessage());
}

TEST(ErrorBoundary, MessageIsPerThread) {
    Ref<ITestRoot> root = makeInterfaced<TestRoot, ITestRoot>();
    ASSERT_EQ(E_FAIL_CODE, root->fail(OtherStandard));
    std::string seenElsewhere = "unset";
    std::thread([&] { seenElsewhere = lastErrorMessage(); }).join();
    EXPECT_EQ("", seenElsewhere);
    EXPECT_EQ("runtime", lastErrorMessage());
}

TEST(ErrorBoundary, ExceptionDataReadsAndWritesTheThreadMessage) {
    IExceptionData* data = exceptionData();
    std::string text = "written";
    InArray in = inArray(text);
    ASSERT_EQ(0u, data->writeMessage(&in));
    std::string read;
    OutArray out = outArray(read);
    ASSERT_EQ(0u, data->readMessage(&out));
    EXPECT_EQ("written", read);
}

TEST(Marshal, StringsTravelBothWays) {
    Ref<ITestRoot> root = makeInterfaced<TestRoot, ITestRoot>();
    std::string result = "old";
    InArray in = inArray("abc");
    OutArray out = outArray(result);
    check(root.get(), root->reverse(&in, &out));
    EXPECT_EQ("cba", result);
    InArray empty = inArray("");
    check(root.get(), root->reverse(&empty, &out));
    EXPECT_EQ("", result);
}

TEST(PlainC, CallsThroughTheFunctionTable) {
    Ref<ITestRoot> root = makeInterfaced<Counting, ITestRoot>();
    void* object = root.get();
    int32_t sum = 0;
    EXPECT_EQ(0u, c_add(object, 40, 2, &sum));
    EXPECT_EQ(42, sum);
    EXPECT_EQ(2u, c_add_ref(object));
    EXPECT_EQ(1u, c_release(object));
    void* other = nullptr;
    EXPECT_EQ(E_NOINTERFACE_CODE, c_query(object, &ITestOther::iid, &other));
    void* same = nullptr;
    EXPECT_EQ(0u, c_query(object, &ITestRoot::iid, &same));
    EXPECT_EQ(object, same);
    EXPECT_EQ(1u, c_release(same));
}

namespace {
// An unloader that is not an object of this module, like a host's unloader seen from a library.
struct RecordingUnloader final : ILibraryUnloader {
    std::vector<int>* calls;
    int name;
    std::atomic<uint32_t> count{1};
    RecordingUnloader(std::vector<int>* c, int n) : calls(c), name(n) {}
    ResultCode KESTREL_CALL QueryInterface(const InterfaceId*, void** r) override {
        *r = nullptr;
        return E_NOINTERFACE_CODE;
    }
    uint32_t KESTREL_CALL AddRef() override { return ++count; }
    uint32_t KESTREL_CALL Release() override { return --count; }
    ResultCode KESTREL_CALL requestUnload() override {
        calls->push_back(name);
        return 0;
    }
};
} // namespace

TEST(ModuleRegistry, LastObjectAsksEveryUnloaderLastRegisteredFirst) {
    ASSERT_EQ(0, ModuleRegistry::liveObjectCount());
    std::vector<int> calls;
    RecordingUnloader first(&calls, 1), second(&calls, 2), third(&calls, 3);
    Ref<ITestRoot> a = makeInterfaced<TestRoot, ITestRoot>();
    Ref<ITestRoot> b = makeInterfaced<TestRoot, ITestRoot>();
    ModuleRegistry::addUnloader(&first);
    ModuleRegistry::addUnloader(&second);
    ModuleRegistry::addUnloader(&third);
    EXPECT_EQ(2, ModuleRegistry::liveObjectCount());
    a.reset();
    EXPECT_TRUE(calls.empty());
    b.reset();
    EXPECT_EQ(0, ModuleRegistry::liveObjectCount());
    EXPECT_EQ((std::vector<int>{3, 2, 1}), calls);
    EXPECT_EQ(0u, first.count.load());
    EXPECT_EQ(0u, third.count.load());
    EXPECT_EQ(0, ModuleRegistry::unloaderCount());
}
