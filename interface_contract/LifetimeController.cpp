#include "interface_contract/LifetimeController.h"

#include "interface_contract/ErrorBoundary.h"
#include "interface_contract/ModuleRegistry.h"

namespace Kestrel::InterfaceContract {

void* RemapContainerHead::query(const InterfaceId& id, bool& addReference) {
    if (id == IExceptionData::iid) {
        addReference = false;
        return exceptionData();
    }
    return nullptr;
}

LifetimeControllerBase::LifetimeControllerBase() { ModuleRegistry::objectCreated(); }

LifetimeControllerBase::~LifetimeControllerBase() { ModuleRegistry::objectDestroyed(); }

void LifetimeControllerBase::destroySelf() { delete this; }

void LifetimeControllerBase::pushContainer(IRemapContainer* container) {
    container->next = containers_;
    containers_ = container;
}

void LifetimeControllerBase::releaseSharedReference() {
    if (sharedCount_.fetch_sub(1) == 1)
        destroySelf();
}

ResultCode LifetimeControllerBase::queryInterface(const InterfaceId* id, void** result) {
    if (!result)
        return E_POINTER_CODE;
    if (id) {
        for (IRemapContainer* c = containers_; c; c = c->next) {
            bool addReference = false;
            if (void* answer = c->query(*id, addReference)) {
                *result = answer;
                if (addReference)
                    static_cast<IInterface*>(answer)->AddRef();
                return S_OK_CODE;
            }
        }
    }
    *result = nullptr;
    return E_NOINTERFACE_CODE;
}

} // namespace Kestrel::InterfaceContract
