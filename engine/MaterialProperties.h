#pragma once
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QVector>

class QOpenGLFunctions;
class QOpenGLShaderProgram;
class QQuickWindow;

namespace KestrelQt3DEngine {

class OGLTexture;

// Fixed-function state and named uniforms of a material. Made only by
// Material.newMaterialProperties(); the setters chain in QML.
class MaterialProperties : public QObject {
    Q_OBJECT
public:
    explicit MaterialProperties(QObject* parent = nullptr);

    Q_INVOKABLE KestrelQt3DEngine::MaterialProperties* setBlendState(bool blendState);
    Q_INVOKABLE KestrelQt3DEngine::MaterialProperties* setCullFaceEnabled(bool cullFaceState, bool isBackFaceCulling = true);
    Q_INVOKABLE KestrelQt3DEngine::MaterialProperties* setDepthMask(bool depthMashEnabled);
    // A texture value is also listed for release after the draw, once for each uniform holding it.
    Q_INVOKABLE KestrelQt3DEngine::MaterialProperties* setUniform(const QString& name, const QVariant& value);
    // Stored only: textures are bound through setUniform.
    Q_INVOKABLE KestrelQt3DEngine::MaterialProperties* setTexture(QObject* texture);

    bool blendState() const { return m_blendState; }
    bool depthMask() const { return m_depthMask; }
    bool cullFaceEnabled() const { return m_cullFaceEnabled; }
    bool backFaceCulling() const { return m_backFaceCulling; }
    const QMap<QString, QVariant>& uniforms() const { return m_uniforms; }
    QVector<OGLTexture*> textures() const;
    OGLTexture* texture() const;

    // Render thread, program bound: sets the GL state, the uniforms and binds the textures.
    void apply(QOpenGLShaderProgram* program, QOpenGLFunctions* gl, QQuickWindow* window = nullptr);
    // Render thread: releases the textures bound by apply.
    void restore();

private:
    void forgetTexture(QObject* texture);
    // Render thread: the location of each uniform, in the order of the map.
    void updateLocations(QOpenGLShaderProgram* program);

    bool m_blendState = false;
    bool m_depthMask = true;
    bool m_cullFaceEnabled = true;
    bool m_backFaceCulling = true;
    QMap<QString, QVariant> m_uniforms;
    QVector<QPointer<OGLTexture>> m_textures;
    QPointer<OGLTexture> m_texture;
    QVector<int> m_locations;
    const QOpenGLShaderProgram* m_locationsProgram = nullptr;
    unsigned m_locationsProgramId = 0;
    bool m_locationsStale = true;
};

} // namespace KestrelQt3DEngine

