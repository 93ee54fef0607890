#include "engine/MaterialProperties.h"

#include "engine/OGLTexture.h"

#include <QColor>
#include <QMatrix4x4>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QVector2D>
#include <QVector3D>
#include <QVector4D>

namespace KestrelQt3DEngine {

MaterialProperties::MaterialProperties(QObject* parent) : QObject(parent) {}

MaterialProperties* MaterialProperties::setBlendState(bool blendState) {
    m_blendState = blendState;
    return this;
}

MaterialProperties* MaterialProperties::setCullFaceEnabled(bool cullFaceState, bool isBackFaceCulling) {
    m_cullFaceEnabled = cullFaceState;
    m_backFaceCulling = isBackFaceCulling;
    return this;
}

MaterialProperties* MaterialProperties::setDepthMask(bool depthMashEnabled) {
    m_depthMask = depthMashEnabled;
    return this;
}

// A texture destroyed while listed here leaves the uniforms and the release list, so no draw
// ever touches it.
MaterialProperties* MaterialProperties::setUniform(const QString& name, const QVariant& value) {
    if (auto* texture = qobject_cast<OGLTexture*>(value.value<QObject*>())) {
        m_textures.append(texture);
        connect(texture, &QObject::destroyed, this, &MaterialProperties::forgetTexture, Qt::UniqueConnection);
    }
    m_uniforms.insert(name, value);
    return this;
}

MaterialProperties* MaterialProperties::setTexture(QObject* texture) {
    m_texture = qobject_cast<OGLTexture*>(texture);
    return this;
}

void MaterialProperties::forgetTexture(QObject* texture) {
    for (auto it = m_uniforms.begin(); it != m_uniforms.end();) {
        if (it.value().value<QObject*>() == texture)
            it = m_uniforms.erase(it);
        else
            ++it;
    }
    m_textures.removeAll(QPointer<OGLTexture>());
}

OGLTexture* MaterialProperties::texture() const { return m_texture.data(); }

QVector<OGLTexture*> MaterialProperties::textures() const {
    QVector<OGLTexture*> list;
    for (const QPointer<OGLTexture>& texture : m_textures) {
        if (texture)
            list.append(texture.data());
    }
    return list;
}

void MaterialProperties::apply(QOpenGLShaderProgram* program, QOpenGLFunctions* gl, QQuickWindow* window) {
    if (m_cullFaceEnabled) {
        gl->glEnable(GL_CULL_FACE);
        gl->glCullFace(m_backFaceCulling ? GL_BACK : GL_FRONT);
    } else {
        gl->glDisable(GL_CULL_FACE);
    }
    gl->glDepthMask(m_depthMask ? GL_TRUE : GL_FALSE);
    if (m_blendState) {
        gl->glEnable(GL_BLEND);
        // Colours blend by source alpha. The alpha channel accumulates coverage instead
        // (a + b (1 - a)): blending alpha by itself would leave translucent pixels of an
        // opaque scene see-through, and the window would show what lies behind the viewport.
        gl->glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    } else {
        gl->glDisable(GL_BLEND);
    }

    int unit = 0;
    for (auto it = m_uniforms.constBegin(); it != m_uniforms.constEnd(); ++it) {
        const int location = program->uniformLocation(it.key());
        if (location < 0)
            continue;
        const QVariant& value = it.value();
        switch (value.userType()) {
        case QMetaType::Bool:
            program->setUniformValue(location, GLint(value.toBool()));
            break;
        case QMetaType::Int:
            program->setUniformValue(location, GLint(value.toInt()));
            break;
        case QMetaType::UInt:
            program->setUniformValue(location, GLuint(value.toUInt()));
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            program->setUniformValue(location, GLfloat(value.toFloat()));
            break;
        case QMetaType::QString:
            program->setUniformValue(location, QColor(value.toString()));
            break;
        case QMetaType::QColor:
            program->setUniformValue(location, value.value<QColor>());
            break;
        case QMetaType::QMatrix4x4:
            program->setUniformValue(location, value.value<QMatrix4x4>());
            break;
        case QMetaType::QVector2D:
            program->setUniformValue(location, value.value<QVector2D>());
            break;
        case QMetaType::QVector3D:
            program->setUniformValue(location, value.value<QVector3D>());
            break;
        case QMetaType::QVector4D:
            program->setUniformValue(location, value.value<QVector4D>());
            break;
        default:
            if (auto* texture = qobject_cast<OGLTexture*>(value.value<QObject*>())) {
                if (texture->bind(program, unit, location, window))
                    ++unit;
            }
            break;
        }
    }
}

void MaterialProperties::restore() {
    for (const QPointer<OGLTexture>& texture : m_textures) {
        if (texture)
            texture->release();
    }
}

} // namespace KestrelQt3DEngine
