#pragma once
#include "engine/Container.h"
#include "engine/IRenderable.h"
#include "engine/Material.h"
#include "engine/Mesh.h"
#include "engine/ViewportInvalidater.h"

#include <QPointer>
#include <QQmlParserStatus>

namespace KestrelQt3DEngine {

// Draws one mesh with one material under its nearest transform. Whether it is drawn with the
// transparent (sorted) renderables is fixed at completion from the material's blend state.
class MeshRenderer : public Container, public ViewportInvalidater, public IRenderable, public QQmlParserStatus {
    Q_OBJECT
    Q_INTERFACES(KestrelQt3DEngine::IRenderable QQmlParserStatus)
    Q_PROPERTY(QObject* mesh READ meshObject WRITE setMeshObject NOTIFY meshChanged)
    Q_PROPERTY(QObject* material READ materialObject WRITE setMaterialObject NOTIFY materialChanged)
    Q_PROPERTY(bool enabled READ isEnabled WRITE setEnabled NOTIFY enabledChanged)
public:
    explicit MeshRenderer(QObject* parent = nullptr);
    ~MeshRenderer() override;

    QObject* meshObject() const;
    // Null, a non-mesh or the same mesh is ignored.
    void setMeshObject(QObject* mesh);
    QObject* materialObject() const;
    void setMaterialObject(QObject* material);
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    bool isTransparent() const { return m_transparent; }
    Material* material() const { return m_material.data(); }

    void render(AbstractCamera* camera) override;
    AbstractTransform* getTransform() override { return transform(); }
    Mesh* getMesh() override { return m_mesh.data(); }

    void onParentChanged(unsigned flags) override;
    void classBegin() override {}
    void componentComplete() override;

signals:
    void meshChanged();
    void materialChanged();
    void enabledChanged();

public slots:
    void processMeshMaterialUpdate();

private slots:
    void viewportDestroyed();

private:
    void unregister();

    QPointer<Mesh> m_mesh;
    QPointer<Material> m_material;
    bool m_enabled = true;
    bool m_transparent = false;
    bool m_registered = false;
};

} // namespace KestrelQt3DEngine
