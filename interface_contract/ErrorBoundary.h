#pragma once
// How failures cross an interface boundary.
//
// Implementation side: every interface method body runs inside `guard`, which turns anything
// thrown into a result code and stores the message as the calling thread's last error.
// Caller side: every result passes through `check`, which turns a non-zero code back into an
// Exception carrying the message read through IExceptionData of the object that was called.
// The message is thread-local, so `check` must run right after the failing call.

#include <new>
#include <stdexcept>
#include <string>

#include "interface_contract/Exception.h"
#include "interface_contract/Interfaces.h"

namespace Kestrel::InterfaceContract {

// The calling thread's last-error message (created empty on first use).
std::string& lastErrorMessage();

// The module's one IExceptionData object; it works on the calling thread's message.
IExceptionData* exceptionData();

template <class F>
ResultCode guard(F&& body) noexcept {
    try {
        body();
        return S_OK_CODE;
    } catch (const Exception& e) {
        lastErrorMessage() = e.message();
        // An exception must never read as success on the other side.
        return e.code() == S_OK_CODE ? E_FAIL_CODE : e.code();
    } catch (const std::invalid_argument& e) {
        lastErrorMessage() = e.what();
        return E_INVALIDARG_CODE;
    } catch (const std::bad_alloc& e) {
        lastErrorMessage() = e.what();
        return E_OUTOFMEMORY_CODE;
    } catch (const std::exception& e) {
        lastErrorMessage() = e.what();
        return E_FAIL_CODE;
    } catch (...) {
        try {
            lastErrorMessage().clear();
        } catch (...) {
        }
        return E_FAIL_CODE;
    }
}

// Throws Exception(code, message of `callee`'s thread) when code is not 0.
void check(IUnsafe* callee, ResultCode code);

} // namespace Kestrel::InterfaceContract
