#pragma once
#include "engine/Container.h"

#include <QQmlParserStatus>
#include <QString>

#include <memory>

class QOpenGLShaderProgram;

namespace KestrelQt3DEngine {

// A GLSL program made lazily on the render thread from code strings or files. A program that
// fails to build is logged once and kept, so its renderers skip drawing from then on.
class Shader : public Container, public QQmlParserStatus {
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(QString vertexShaderCode READ vertexShaderCode WRITE setVertexShaderCode)
    Q_PROPERTY(QString fragmentShaderCode READ fragmentShaderCode WRITE setFragmentShaderCode)
    Q_PROPERTY(QString vertexShaderFileName READ vertexShaderFileName WRITE setVertexShaderFileName)
    Q_PROPERTY(QString fragmentShaderFileName READ fragmentShaderFileName WRITE setFragmentShaderFileName)
public:
    explicit Shader(QObject* parent = nullptr);
    ~Shader() override;

    QString vertexShaderCode() const { return m_vertexShaderCode; }
    void setVertexShaderCode(const QString& code);
    QString fragmentShaderCode() const { return m_fragmentShaderCode; }
    void setFragmentShaderCode(const QString& code);
    QString vertexShaderFileName() const { return m_vertexShaderFileName; }
    void setVertexShaderFileName(const QString& fileName);
    QString fragmentShaderFileName() const { return m_fragmentShaderFileName; }
    void setFragmentShaderFileName(const QString& fileName);

    // The program, built on the first call (render thread, context current). Check isLinked().
    QOpenGLShaderProgram* program();

    void classBegin() override {}
    void componentComplete() override {}

private:
    // Empty on success, else the message of the failed step.
    QString buildProgram();

    QString m_vertexShaderCode;
    QString m_fragmentShaderCode;
    QString m_vertexShaderFileName;
    QString m_fragmentShaderFileName;
    std::unique_ptr<QOpenGLShaderProgram> m_program;
};

} // namespace KestrelQt3DEngine
