#pragma once
#include "engine/MeshRenderer.h"

#include <QColor>

namespace KestrelQt3DEngine {

class Shader;

// A mesh renderer with a process-wide unique identity and its colour (red = bits 0-7,
// green = bits 8-15, blue = bits 16-23 of the identity, alpha 255). It draws like a mesh
// renderer; the viewport's picking pass also draws its mesh in the identity colour to find
// which renderer lies under a pressed pixel.
class PickingMeshRenderer : public MeshRenderer {
    Q_OBJECT
    Q_PROPERTY(int pickingId READ pickingId CONSTANT)
    Q_PROPERTY(QColor pickingColor READ pickingColor CONSTANT)
public:
    explicit PickingMeshRenderer(QObject* parent = nullptr);
    ~PickingMeshRenderer() override;

    int pickingId() const { return m_pickingId; }
    QColor pickingColor() const { return m_pickingColor; }
    Shader* pickingShader() const { return m_pickingShader; }

    static QColor colorOfId(unsigned id);

    void componentComplete() override;
    // Render thread: the mesh in the identity colour with the picking shader, under the same
    // transform and camera as the normal draw. Nothing without mesh or camera, or when disabled.
    void renderPicking(AbstractCamera* camera);

private:
    int m_pickingId;
    QColor m_pickingColor;
    Shader* m_pickingShader;
    bool m_inPickingList = false;
};

} // namespace KestrelQt3DEngine
