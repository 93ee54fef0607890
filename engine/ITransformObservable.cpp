#include "engine/ITransformObservable.h"

#include "engine/TransformObserver.h"

#include <algorithm>

namespace KestrelQt3DEngine {

ITransformObservable::~ITransformObservable() {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (TransformObserver* observer : m_observers)
        if (observer)
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
    if (found == m_observers.end())
        return;
    if (m_walks > 0)
        *found = nullptr;
    else
        m_observers.erase(found);
}

void ITransformObservable::notifyObservers(unsigned flags) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const std::size_t count = m_observers.size();
    ++m_walks;
    for (std::size_t i = 0; i < count; ++i) {
        TransformObserver* observer = m_observers[i];
        if (!observer)
            continue;
        lock.unlock();
        observer->onParentChanged(flags);
        lock.lock();
    }
    if (--m_walks == 0)
        m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), nullptr), m_observers.end());
}

int ITransformObservable::observerCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(std::count_if(m_observers.begin(), m_observers.end(), [](TransformObserver* o) { return o != nullptr; }));
}

} // namespace KestrelQt3DEngine
