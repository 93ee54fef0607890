#include "engine/ITransformObservable.h"

#include "engine/TransformObserver.h"

#include <algorithm>

namespace KestrelQt3DEngine {

ITransformObservable::~ITransformObservable() {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (TransformObserver* observer : m_observers)
        observer->forgetParent();
    m_observers.clear();
}

void ITransformObservable::addObserver(TransformObserver* observer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_observers.push_back(observer);
}

void ITransformObservable::removeObserver(TransformObserver* observer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto found = std::find(m_observers.begin(), m_observers.end(), observer);
    if (found != m_observers.end())
        m_observers.erase(found);
}

void ITransformObservable::notifyObservers(unsigned flags) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (TransformObserver* observer : m_observers)
        observer->onParentChanged(flags);
}

int ITransformObservable::observerCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_observers.size());
}

} // namespace KestrelQt3DEngine
