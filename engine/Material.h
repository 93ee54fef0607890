#pragma once
#include "engine/Container.h"
#include "engine/MaterialProperties.h"
#include "engine/Shader.h"

#include <QPointer>

namespace KestrelQt3DEngine {

// A shader plus the state and uniforms it is drawn with.
class Material : public Container {
    Q_OBJECT
    Q_PROPERTY(KestrelQt3DEngine::Shader* shader READ shader WRITE setShader)
    Q_PROPERTY(KestrelQt3DEngine::MaterialProperties* properties READ properties WRITE setProperties NOTIFY propertiesChanged)
public:
    explicit Material(QObject* parent = nullptr);

    Shader* shader() const { return m_shader.data(); }
    void setShader(Shader* shader) { m_shader = shader; }
    MaterialProperties* properties() const { return m_properties.data(); }
    // Signals in every case: re-assigning the same object is how a binding pushes new uniforms.
    void setProperties(MaterialProperties* properties);

    Q_INVOKABLE KestrelQt3DEngine::MaterialProperties* newMaterialProperties();

signals:
    void propertiesChanged();

private:
    QPointer<Shader> m_shader;
    QPointer<MaterialProperties> m_properties;
};

} // namespace KestrelQt3DEngine
