#pragma once
// Implementing interfaces.
//
// A class implements interface I on face N by deriving from RemapPatch<I, N> (short forms
// Implements<I> for face 0 and ImplementsOnFace<I, 1>) and overriding I's methods. The patch
// supplies QueryInterface, AddRef and Release for that interface: the counts go to face N, the
// query walks the object's container list. Each patch pushes its container when it is
// constructed, so a subclass's interfaces are found before its base class's, and the newest
// container answers IUnsafe and IInterface. Every method body should run in `guard` so that
// nothing is thrown across the boundary:
//
//     class Thing final : public Implements<IThing> {
//         ResultCode KESTREL_CALL doIt(InArray* name, OutArray* value) override {
//             return guard([&] { writeOut(value, lookUp(toString(name))); });
//         }
//     };
//     Ref<IThing> thing = makeInterfaced<Thing, IThing>();
//
// Objects are created with new (makeInterfaced does it) and free themselves when the last
// reference of every face has gone.

#include "interface_contract/LifetimeController.h"
#include "interface_contract/Ref.h"

namespace Kestrel::InterfaceContract {

template <class I, int N = 0>
class RemapPatch : public I, public virtual LifeTimeController<N> {
    static_assert(std::is_base_of_v<IInterface, I>, "patches are for counted interfaces");

public:
    RemapPatch() : container_(this) { this->pushContainer(&container_); }
    RemapPatch(const RemapPatch&) = delete;
    RemapPatch& operator=(const RemapPatch&) = delete;

    ResultCode KESTREL_CALL QueryInterface(const InterfaceId* id, void** result) final {
        return this->queryInterface(id, result);
    }
    uint32_t KESTREL_CALL AddRef() final { return this->LifeTimeController<N>::addFaceReference(); }
    uint32_t KESTREL_CALL Release() final { return this->LifeTimeController<N>::releaseFaceReference(); }

private:
    class Container final : public IRemapContainer {
    public:
        explicit Container(RemapPatch* patch) : patch_(patch) {}
        void* query(const InterfaceId& id, bool& addReference) override {
            if (!identifies<I>(id))
                return nullptr;
            addReference = true;
            return static_cast<I*>(patch_);
        }

    private:
        RemapPatch* patch_;
    };
    Container container_;
};

template <class I>
using Implements = RemapPatch<I, 0>;
template <class I, int N>
using ImplementsOnFace = RemapPatch<I, N>;

// Base of the simple, single-faced objects.
using InterfacedObject = LifeTimeController<0>;

// Creates an object and returns interface I of it holding the first reference.
template <class T, class I, class... Args>
Ref<I> makeInterfaced(Args&&... args) {
    T* object = new T(std::forward<Args>(args)...);
    return Ref<I>::share(static_cast<I*>(object));
}

} // namespace Kestrel::InterfaceContract
