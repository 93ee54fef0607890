#pragma once
// The root interfaces of the cross-library object model and the parameter marshalers.
//
// An interface is a C++ struct of pure virtual methods with no data and no virtual destructor,
// so that (with the Itanium and the MSVC ABI alike) an interface pointer points at a word that
// points at the function table, and the slots follow the declaration order, bases first.
// Every method returns a 32-bit code. Declaring a new interface:
//
//     struct IThing : IInterface {
//         using Base = IInterface;
//         static constexpr InterfaceId iid = makeInterfaceId("01234567-89AB-CDEF-0123-456789ABCDEF");
//         // slot 3: ... ownership, null arguments, result codes ...
//         virtual ResultCode KESTREL_CALL doIt(InArray* name, OutArray* value) = 0;
//     };
//
// `Base` names the direct base so that an object answers queries for the whole chain.
// Implementing one is described in Remap.h.

#include "interface_contract/InterfaceId.h"
#include "interface_contract/ResultCode.h"

#include <type_traits>

namespace Kestrel::InterfaceContract {

// String or array in: pointer to the first element and the element count.
// Strings are UTF-8 bytes without terminator.
struct InArray {
    const void* data;
    uint32_t count;
};

// String or array out: the callee computes its result, calls allocate(context, count) once and,
// when the answer is not null and count is not 0, copies count elements there.
struct OutArray {
    void* context;
    void* (*allocate)(void* context, uint32_t count);
};

// Booleans cross as 32-bit integers: 0 false, all bits set true; any non-zero reads as true.
using Boolean = uint32_t;
constexpr Boolean BooleanFalse = 0;
constexpr Boolean BooleanTrue = 0xFFFFFFFFu;
constexpr Boolean toBoolean(bool value) { return value ? BooleanTrue : BooleanFalse; }

struct IUnsafe {
    static constexpr InterfaceId iid = makeInterfaceId("FFFFFFFF-FFFF-FFFF-0C00-000000000064");
    // slot 0: stores the interface `id` of this object in *result. Interfaces derived from
    // IInterface come back with one reference for the caller. 0x80004003 when result is null,
    // 0x80004002 (and *result = null) when the object has no such interface.
    virtual ResultCode KESTREL_CALL QueryInterface(const InterfaceId* id, void** result) = 0;
};

struct IInterface : IUnsafe {
    using Base = IUnsafe;
    static constexpr InterfaceId iid = makeInterfaceId("00000000-0000-0000-C000-000000000046");
    // slot 1: takes a reference; returns the new count of this face.
    virtual uint32_t KESTREL_CALL AddRef() = 0;
    // slot 2: drops a reference; returns the new count of this face.
    virtual uint32_t KESTREL_CALL Release() = 0;
};

// Last-error message of the calling thread. Not reference counted: querying it never adds a
// reference and the pointer needs no release.
struct IExceptionData : IUnsafe {
    using Base = IUnsafe;
    static constexpr InterfaceId iid = makeInterfaceId("97122FF5-CEAA-4C40-9627-12AAB74A5DAF");
    // slot 1: the message through `message`; 0x80004005 if anything fails.
    virtual ResultCode KESTREL_CALL readMessage(OutArray* message) = 0;
    // slot 2: replaces the message; 0x80004005 if anything fails.
    virtual ResultCode KESTREL_CALL writeMessage(InArray* message) = 0;
};

// Implemented by the host that loaded a library; the library calls it when its last object
// has gone.
struct ILibraryUnloader : IInterface {
    using Base = IInterface;
    static constexpr InterfaceId iid = makeInterfaceId("9154EDF5-09E7-45A7-99D9-6380659FA6F2");
    // slot 3: the library has no live objects any more; the host may unload it.
    virtual ResultCode KESTREL_CALL requestUnload() = 0;
};

// Signature of the entry point every library of the system exports as "getLibraryInterface".
// The library takes over one reference of `unloader`; *result receives the root object with
// one reference for the caller.
using GetLibraryInterfaceFunction = ResultCode (*)(ILibraryUnloader* unloader, IInterface** result);

// True when `id` is the identifier of I or of one of its bases.
template <class I>
constexpr bool identifies(const InterfaceId& id) {
    if (id == I::iid)
        return true;
    if constexpr (!std::is_same_v<I, IUnsafe>)
        return identifies<typename I::Base>(id);
    else
        return false;
}

} // namespace Kestrel::InterfaceContract
