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

// The release list holds one entry for each uniform that holds a texture, so giving a uniform
// a new value again and again (a binding re-evaluating) does not grow it. A texture destroyed
// while listed here leaves the uniforms and the release list, so no draw ever touches it.
MaterialProperties* MaterialProperties::setUniform(const QString& name, const QVariant& value) {
    auto previous = m_uniforms.constFind(name);
    if (previous == m_uniforms.constEnd()) {
        m_locationsStale = true;
    } else if (auto* old = qobject_cast<OGLTexture*>(previous.value().value<QObject*>())) {
        m_textures.removeOne(old);
    }
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
        if (it.value().value<QObject*>() == texture) {
            it = m_uniforms.erase(it);
            m_locationsStale = true;
        } else {
            ++it;
        }
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

    updateLocations(program);
    int unit = 0;
    int index = 0;
    for (auto it = m_uniforms.constBegin(); it != m_uniforms.constEnd(); ++it) {
        const int location = m_locations[index++];
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

// Locations are looked up by name only when the names or the program change, not on every draw.
void MaterialProperties::updateLocations(QOpenGLShaderProgram* program) {
    if (!m_locationsStale && program == m_locationsProgram && program->programId() == m_locationsProgramId)
        return;
    m_locations.clear();
    m_locations.reserve(m_uniforms.size());
    for (auto it = m_uniforms.constBegin(); it != m_uniforms.constEnd(); ++it)
        m_locations.append(program->uniformLocation(it.key()));
    m_locationsProgram = program;
    m_locationsProgramId = program->programId();
    m_locationsStale = false;
}

void MaterialProperties::restore() {
    for (const QPointer<OGLTexture>& texture : m_textures) {
        if (texture)
            texture->release();
    }
}

} // namespace KestrelQt3DEngine
