#include "interface_contract/ErrorBoundary.h"

#include "interface_contract/Marshal.h"

namespace Kestrel::InterfaceContract {

std::string& lastErrorMessage() {
    thread_local std::string message;
    return message;
}

namespace {

class ThreadExceptionData final : public IExceptionData {
public:
    ResultCode KESTREL_CALL QueryInterface(const InterfaceId* id, void** result) override {
        if (!result)
            return E_POINTER_CODE;
        if (id && identifies<IExceptionData>(*id)) {
            *result = static_cast<IExceptionData*>(this);
            return S_OK_CODE;
        }
        *result = nullptr;
        return E_NOINTERFACE_CODE;
    }
    ResultCode KESTREL_CALL readMessage(OutArray* message) override {
        try {
            writeOut(message, lastErrorMessage());
            return S_OK_CODE;
        } catch (...) {
            return E_FAIL_CODE;
        }
    }
    ResultCode KESTREL_CALL writeMessage(InArray* message) override {
        try {
            lastErrorMessage() = toString(message);
            return S_OK_CODE;
        } catch (...) {
            return E_FAIL_CODE;
        }
    }
};

} // namespace

IExceptionData* exceptionData() {
    static ThreadExceptionData instance;
    return &instance;
}

void check(IUnsafe* callee, ResultCode code) {
    if (code == S_OK_CODE)
        return;
    std::string message;
    void* answer = nullptr;
    if (callee && callee->QueryInterface(&IExceptionData::iid, &answer) == S_OK_CODE && answer) {
        auto* data = static_cast<IExceptionData*>(answer);
        OutArray out = outArray(message);
        ResultCode readCode = data->readMessage(&out);
        // A failing read is itself a failure of the call; its own message cannot be read
        // without the same risk, so it travels without one.
        if (readCode != S_OK_CODE)
            throw Exception(readCode, std::string());
    }
    throw Exception(code, std::move(message));
}

} // namespace Kestrel::InterfaceContract
