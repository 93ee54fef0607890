#pragma once
#include "engine/MeshRenderer.h"

#include <QColor>

namespace KestrelQt3DEngine {

class Shader;

// A mesh renderer with a process-wide unique identity and its colour (red = bits 0-7,
// green = bits 8-15, blue = bits 16-23 of the identity, alpha 255), for a picking pass.
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

private:
    int m_pickingId;
    QColor m_pickingColor;
    Shader* m_pickingShader;
    bool m_inPickingList = false;
};

} // namespace KestrelQt3DEngine
