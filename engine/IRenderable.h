#pragma once
#include <QObject>

namespace KestrelQt3DEngine {

class AbstractCamera;
class AbstractTransform;
class Mesh;

// Something the viewport draws each frame, on the render thread with the context current.
class IRenderable {
public:
    virtual ~IRenderable() = default;
    // camera may be null: the renderable then draws nothing.
    virtual void render(AbstractCamera* camera) = 0;
    // The nearest transform above the renderable, or null.
    virtual AbstractTransform* getTransform() = 0;
    // The mesh it draws, or null.
    virtual Mesh* getMesh() = 0;
};

} // namespace KestrelQt3DEngine

Q_DECLARE_INTERFACE(KestrelQt3DEngine::IRenderable, "com.kestrel.Qt.IRenderable")
