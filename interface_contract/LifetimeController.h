#pragma once
// Memory lifetime of interfaced objects.
//
// LifetimeControllerBase holds the count of all references of all faces and the list of remap
// containers that answers QueryInterface. LifeTimeController<N> counts the references of face N.
// An object with one face derives (through its patches, see Remap.h) from LifeTimeController<0>;
// an object with two independently counted faces also from LifeTimeController<1>; both share
// one virtual LifetimeControllerBase.

#include <atomic>
#include <cstdint>
#include <type_traits>

#include "interface_contract/Interfaces.h"

namespace Kestrel::InterfaceContract {

// A node of an object's singly linked list of remap containers. Answers the address of its
// interface for `id` (and whether that answer takes a reference), or null.
class IRemapContainer {
public:
    virtual void* query(const InterfaceId& id, bool& addReference) = 0;
    IRemapContainer* next = nullptr;

protected:
    ~IRemapContainer() = default;
};

// Terminator of every container list: answers IExceptionData (without a reference) and nothing
// else.
class RemapContainerHead final : public IRemapContainer {
public:
    void* query(const InterfaceId& id, bool& addReference) override;
};

class LifetimeControllerBase {
public:
    LifetimeControllerBase();
    LifetimeControllerBase(const LifetimeControllerBase&) = delete;
    LifetimeControllerBase& operator=(const LifetimeControllerBase&) = delete;
    virtual ~LifetimeControllerBase();
    // Destroys and frees the whole object.
    virtual void destroySelf();

    // QueryInterface over the container list, newest container first.
    ResultCode queryInterface(const InterfaceId* id, void** result);

    uint32_t sharedReferenceCount() const { return sharedCount_.load(); }

protected:
    void pushContainer(IRemapContainer* container);
    void addSharedReference() { sharedCount_.fetch_add(1); }
    void releaseSharedReference();

    template <int>
    friend class LifeTimeController;

private:
    std::atomic<uint32_t> sharedCount_{0};
    RemapContainerHead head_;
    IRemapContainer* containers_ = &head_;
};

template <int N>
using Face = std::integral_constant<int, N>;

template <int N>
class LifeTimeController : public virtual LifetimeControllerBase {
    static_assert(N == 0 || N == 1, "an object has face 0 and at most face 1");

public:
    uint32_t addFaceReference() {
        uint32_t count = faceCount_.fetch_add(1) + 1;
        addSharedReference();
        return count;
    }
    uint32_t releaseFaceReference() {
        uint32_t count = faceCount_.fetch_sub(1) - 1;
        if (count == 0)
            onLastRelease(Face<N>());
        releaseSharedReference();
        return count;
    }
    uint32_t faceReferenceCount() const { return faceCount_.load(); }

protected:
    // The last reference of face N has gone; the object lives on while the other face is held.
    virtual void onLastRelease(Face<N>) {}

private:
    std::atomic<uint32_t> faceCount_{0};
};

} // namespace Kestrel::InterfaceContract
