#pragma once
// Owning reference to an interface: releases on destruction, adds a reference on copy.

#include <cstddef>
#include <utility>

#include "interface_contract/ErrorBoundary.h"
#include "interface_contract/Interfaces.h"

namespace Kestrel::InterfaceContract {

template <class I>
class Ref {
public:
    Ref() = default;
    Ref(std::nullptr_t) {}
    Ref(const Ref& other) : pointer_(other.pointer_) {
        if (pointer_)
            pointer_->AddRef();
    }
    Ref(Ref&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ~Ref() { reset(); }
    Ref& operator=(Ref other) noexcept {
        std::swap(pointer_, other.pointer_);
        return *this;
    }

    // Takes over a reference the caller already holds.
    static Ref adopt(I* pointer) {
        Ref ref;
        ref.pointer_ = pointer;
        return ref;
    }
    // Takes a new reference.
    static Ref share(I* pointer) {
        if (pointer)
            pointer->AddRef();
        return adopt(pointer);
    }

    I* get() const { return pointer_; }
    I* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }

    void reset() {
        if (I* p = std::exchange(pointer_, nullptr))
            p->Release();
    }
    // Gives up the reference without releasing it.
    I* detach() { return std::exchange(pointer_, nullptr); }
    // Out-slot for a call that returns an interface with one reference.
    void** out() {
        reset();
        return reinterpret_cast<void**>(&pointer_);
    }
    I** typedOut() {
        reset();
        return &pointer_;
    }

    // Interface J of the same object, or null when it has none.
    template <class J>
    Ref<J> query() const {
        Ref<J> result;
        if (pointer_)
            pointer_->QueryInterface(&J::iid, result.out());
        return result;
    }
    // Interface J of the same object; throws when the object does not answer it.
    template <class J>
    Ref<J> queryChecked() const {
        Ref<J> result;
        check(pointer_, pointer_->QueryInterface(&J::iid, result.out()));
        return result;
    }

    friend bool operator==(const Ref& a, const Ref& b) { return a.pointer_ == b.pointer_; }
    friend bool operator!=(const Ref& a, const Ref& b) { return a.pointer_ != b.pointer_; }

private:
    I* pointer_ = nullptr;
};

} // namespace Kestrel::InterfaceContract
