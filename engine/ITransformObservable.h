#pragma once
#include <list>
#include <mutex>

namespace KestrelQt3DEngine {

class TransformObserver;

// The observer side of a transform: the children (and renderers, cameras) that must hear of
// its changes. Matrices are read on the render thread while QML changes transforms on the GUI
// thread, so the list has its own mutex. Notification never takes a parent's mutex: each
// observer's own notifyObservers locks only its own list.
class ITransformObservable {
public:
    ITransformObservable() = default;
    ITransformObservable(const ITransformObservable&) = delete;
    ITransformObservable& operator=(const ITransformObservable&) = delete;

    // Observers still registered are told that their parent is gone, so none keeps a
    // dangling pointer to it.
    virtual ~ITransformObservable();
    virtual void addObserver(TransformObserver* observer);
    // Removes the first entry equal to observer; nothing when it is not listed.
    virtual void removeObserver(TransformObserver* observer);
    // Calls onParentChanged(flags) on every observer in insertion order.
    virtual void notifyObservers(unsigned flags);

    int observerCount() const;

private:
    mutable std::mutex m_mutex;
    std::list<TransformObserver*> m_observers;
};

} // namespace KestrelQt3DEngine
