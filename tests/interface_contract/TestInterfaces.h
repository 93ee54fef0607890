#pragma once
#include "interface_contract/Interfaces.h"

namespace TestAbi {

using namespace Kestrel::InterfaceContract;

enum FailKind : uint32_t {
    NoFailure = 0,
    ContractFailure = 1,   // Exception(0x80001234, "contract")
    InvalidArgument = 2,   // std::invalid_argument("bad argument")
    OutOfMemory = 3,       // std::bad_alloc
    OtherStandard = 4,     // std::runtime_error("runtime")
    NonStandard = 5,       // throw 42
};

struct ITestRoot : IInterface {
    using Base = IInterface;
    static constexpr InterfaceId iid = makeInterfaceId("1B2C3D4E-5F60-4172-8394-A5B6C7D8E9F0");
    // slot 3: *sum = a + b.
    virtual ResultCode KESTREL_CALL add(int32_t a, int32_t b, int32_t* sum) = 0;
    // slot 4: raises what `kind` names.
    virtual ResultCode KESTREL_CALL fail(uint32_t kind) = 0;
    // slot 5: returns the text reversed.
    virtual ResultCode KESTREL_CALL reverse(InArray* text, OutArray* result) = 0;
};

struct ITestDerived : ITestRoot {
    using Base = ITestRoot;
    static constexpr InterfaceId iid = makeInterfaceId("2B2C3D4E-5F60-4172-8394-A5B6C7D8E9F0");
    // slot 6: *value = 7.
    virtual ResultCode KESTREL_CALL seven(int32_t* value) = 0;
};

struct ITestOther : IInterface {
    using Base = IInterface;
    static constexpr InterfaceId iid = makeInterfaceId("3B2C3D4E-5F60-4172-8394-A5B6C7D8E9F0");
    // slot 3: does nothing.
    virtual ResultCode KESTREL_CALL nothing() = 0;
};

} // namespace TestAbi
