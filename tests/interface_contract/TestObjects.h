#pragma once
// Implementations of the test interfaces, shared by the in-process tests and the test libraries.
#include <algorithm>
#include <new>
#include <stdexcept>

#include "interface_contract/Marshal.h"
#include "interface_contract/Remap.h"
#include "TestInterfaces.h"

namespace TestAbi {

inline void raise(uint32_t kind) {
    switch (kind) {
    case ContractFailure: throw Exception(0x80001234u, "contract");
    case InvalidArgument: throw std::invalid_argument("bad argument");
    case OutOfMemory: throw std::bad_alloc();
    case OtherStandard: throw std::runtime_error("runtime");
    case NonStandard: throw 42;
    default: break;
    }
}

class TestRoot : public Implements<ITestRoot> {
public:
    ResultCode KESTREL_CALL add(int32_t a, int32_t b, int32_t* sum) override {
        return guard([&] {
            if (!sum)
                throw std::invalid_argument("null sum");
            *sum = a + b;
        });
    }
    ResultCode KESTREL_CALL fail(uint32_t kind) override { return guard([&] { raise(kind); }); }
    ResultCode KESTREL_CALL reverse(InArray* text, OutArray* result) override {
        return guard([&] {
            std::string value = toString(text);
            std::reverse(value.begin(), value.end());
            writeOut(result, value);
        });
    }
};

class TestOther : public Implements<ITestOther> {
public:
    ResultCode KESTREL_CALL nothing() override { return 0; }
};

} // namespace TestAbi
