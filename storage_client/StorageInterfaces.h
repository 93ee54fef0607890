#pragma once
// Interfaces of the storage client library as the program and orbtool include them.
//
// Values live in two levels, a group and a key inside it; group, key and value are byte strings
// (UTF-8 text in practice). The key "default" names the group's default entry.

#include "interface_contract/Interfaces.h"

namespace Kestrel::StorageClient {

using InterfaceContract::Boolean;
using InterfaceContract::IInterface;
using InterfaceContract::InArray;
using InterfaceContract::InterfaceId;
using InterfaceContract::makeInterfaceId;
using InterfaceContract::OutArray;
using InterfaceContract::ResultCode;

// Every failure of these methods is 0x80004005 (or 0x80070057 for a null out-argument) with the
// message as the calling thread's last error, unless a slot says otherwise.
struct IStorage : IInterface {
    using Base = IInterface;
    static constexpr InterfaceId iid = makeInterfaceId("792D9D14-A2D2-42AD-AEEC-7F8A6BA62BD0");
    // slot 3: the value of (group, key) through `value`. Null `value` is invalid.
    virtual ResultCode KESTREL_CALL read(InArray* group, InArray* key, OutArray* value) = 0;
    // slot 4: stores `value` under (group, key), replacing what was there.
    virtual ResultCode KESTREL_CALL write(InArray* group, InArray* key, InArray* value) = 0;
    // slot 5: removes (group, key); a missing key is not an error.
    virtual ResultCode KESTREL_CALL remove(InArray* group, InArray* key) = 0;
    // slot 6: the key after `key` in the group's order through `nextKey`: the first key when
    // `key` is empty, empty after the last one. A key that is not in the group fails.
    virtual ResultCode KESTREL_CALL next(InArray* group, InArray* key, OutArray* nextKey) = 0;
    // slot 7: whether the storage can be reached; never fails for an unreachable storage, it
    // answers false instead. Null `result` is invalid.
    virtual ResultCode KESTREL_CALL exists(Boolean* result) = 0;
};

struct ILibrary : IInterface {
    using Base = IInterface;
    static constexpr InterfaceId iid = makeInterfaceId("85ABAB02-BE0F-4836-9C1C-3C730BBD0251");
    // slot 3: a new client of the storage server at the numeric IPv4 or IPv6 `address` and
    // `port`. Nothing is contacted yet. *result receives it with one reference for the caller
    // (what *result held before is released). Null `result` is invalid.
    virtual ResultCode KESTREL_CALL openRemoteStorage(InArray* address, uint32_t port, IStorage** result) = 0;
    // slot 4: a new client of this machine's storage (the service application's when it is
    // installed and answers, else plain files). Never fails for lack of a storage.
    virtual ResultCode KESTREL_CALL openLocalStorage(IStorage** result) = 0;
};

} // namespace Kestrel::StorageClient
