#pragma once

class QObject;

namespace KestrelQt3DEngine {

class AbstractTransform;

// The link from an object to the nearest transform above it in the QObject parent chain.
class TransformObserver {
public:
    enum DirtyFlag : unsigned { RotationDirty = 1, PositionDirty = 2, ScaleDirty = 4, AllDirty = 7 };

    TransformObserver() = default;
    TransformObserver(const TransformObserver&) = delete;
    TransformObserver& operator=(const TransformObserver&) = delete;

    // Unregisters from the parent, so a child destroyed first is never notified again.
    virtual ~TransformObserver();
    virtual void onParentChanged(unsigned flags) = 0;
    // Walks up from start to the first object that has the transform interface, registers with
    // it and marks everything dirty.
    virtual void attachToParent(QObject* start);

    AbstractTransform* parentTransform() const { return m_parent; }
    unsigned dirtyFlags() const { return m_dirtyFlags; }

private:
    friend class ITransformObservable;
    // Called by a parent that is destroyed while this observer is still registered.
    void forgetParent() { m_parent = nullptr; }

protected:
    void detachFromParent();

    unsigned m_dirtyFlags = 0;
    AbstractTransform* m_parent = nullptr;
};

// The first object from start upwards (start included) that has the transform interface.
AbstractTransform* findTransform(QObject* start);

} // namespace KestrelQt3DEngine
