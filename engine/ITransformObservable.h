#pragma once
#include <cstddef>
#include <mutex>
#include <vector>

namespace KestrelQt3DEngine {

class TransformObserver;

// The observer side of a transform: the children (and renderers, cameras) that must hear of
// its changes. Matrices are read on the render thread while QML changes transforms on the GUI
// thread, so the list has its own mutex. The mutex is held only to read or change the list,
// never while an observer runs: an observer's change signals reach QML handlers, which may
// move this transform again or create and destroy transforms beside the observer.
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
    // Calls onParentChanged(flags) on every observer in insertion order. An observer removed
    // meanwhile is skipped; one added meanwhile hears of the next change, not of this one.
    virtual void notifyObservers(unsigned flags);

    int observerCount() const;

private:
    mutable std::mutex m_mutex;
    // Removed entries become null while a notification walks the list (the walk goes by index)
    // and are erased when the last walk ends.
    std::vector<TransformObserver*> m_observers;
    int m_walks = 0;
};

} // namespace KestrelQt3DEngine
