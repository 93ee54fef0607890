#include "engine/Shader.h"

#include "interface_contract/DebugLog.h"

#include <QOpenGLShaderProgram>

namespace KestrelQt3DEngine {

Shader::Shader(QObject* parent) : Container(parent) {}

Shader::~Shader() = default;

void Shader::setVertexShaderCode(const QString& code) { m_vertexShaderCode = code; }
void Shader::setFragmentShaderCode(const QString& code) { m_fragmentShaderCode = code; }
void Shader::setVertexShaderFileName(const QString& fileName) { m_vertexShaderFileName = fileName; }
void Shader::setFragmentShaderFileName(const QString& fileName) { m_fragmentShaderFileName = fileName; }

QOpenGLShaderProgram* Shader::program() {
    if (m_program)
        return m_program.get();
    m_program = std::make_unique<QOpenGLShaderProgram>();
    const QString error = buildProgram();
    // Made on the render thread with its shader children; the Shader is destroyed on its own
    // thread, so the program goes there too.
    m_program->moveToThread(thread());
    if (!error.isEmpty())
        Kestrel::logLine() << "Shader error: " << error.toStdString();
    return m_program.get();
}

QString Shader::buildProgram() {
    QOpenGLShaderProgram& program = *m_program;
    if (!program.create())
        return "gl program is not created";
    if (!m_vertexShaderFileName.isEmpty()) {
        if (!program.addShaderFromSourceFile(QOpenGLShader::Vertex, m_vertexShaderFileName))
            return "add vertex shader from file fail";
    } else if (!program.addShaderFromSourceCode(QOpenGLShader::Vertex, m_vertexShaderCode)) {
        return "add vertex shader fail";
    }
    if (!m_fragmentShaderFileName.isEmpty()) {
        if (!program.addShaderFromSourceFile(QOpenGLShader::Fragment, m_fragmentShaderFileName))
            return "add fragment shader from file fail";
    } else if (!program.addShaderFromSourceCode(QOpenGLShader::Fragment, m_fragmentShaderCode)) {
        return "add fragment shader fail";
    }
    if (!program.link())
        return "link gl program fail";
    return {};
}

} // namespace KestrelQt3DEngine
