#include "engine/AbstractTextureConstructor.h"

#include <QOpenGLPixelTransferOptions>
#include <QByteArray>
#include <QOpenGLTexture>

namespace KestrelQt3DEngine {

AbstractTextureConstructor::AbstractTextureConstructor(QObject* parent) : QObject(parent) {}

namespace {

int componentsOf(int pixelFormat) {
    switch (pixelFormat) {
    case 0x1903: case 0x1906: case 0x1909: case 0x8D94: return 1;  // RED, ALPHA, LUMINANCE, RED_INTEGER
    case 0x8227: case 0x190A: case 0x8228: return 2;                // RG, LUMINANCE_ALPHA, RG_INTEGER
    case 0x1907: case 0x80E0: case 0x8D98: return 3;                // RGB, BGR, RGB_INTEGER
    default: return 4;
    }
}

int bytesOf(int pixelType) {
    switch (pixelType) {
    case 0x1400: case 0x1401: return 1;  // BYTE, UNSIGNED_BYTE
    case 0x1402: case 0x1403: case 0x140B: return 2;  // SHORT, UNSIGNED_SHORT, HALF_FLOAT
    default: return 4;
    }
}

} // namespace

qsizetype AbstractTextureConstructor::requiredBytes() const {
    if (!m_textureSize.isValid() || m_textureSize.isEmpty())
        return 0;
    return qsizetype(m_textureSize.width()) * m_textureSize.height() * componentsOf(m_pixelFormat) * bytesOf(m_pixelType);
}

// Rows are taken as tightly packed (alignment 1): the data come from plain arrays of bytes or
// floats, not from padded images. Data shorter than the size and formats demand are padded
// with zeros, so OpenGL never reads past the end of the array.
void AbstractTextureConstructor::fillRaw(QOpenGLTexture* texture, const void* data, qsizetype size) {
    const qsizetype required = requiredBytes();
    if (required == 0)
        return;
    QByteArray padded;
    if (size < required) {
        padded = QByteArray(static_cast<const char*>(data), size);
        padded.append(QByteArray(required - size, '\0'));
        data = padded.constData();
    }
    const auto pixelFormat = static_cast<QOpenGLTexture::PixelFormat>(m_pixelFormat);
    const auto pixelType = static_cast<QOpenGLTexture::PixelType>(m_pixelType);
    texture->setSize(m_textureSize.width(), m_textureSize.height(), 1);
    texture->setFormat(static_cast<QOpenGLTexture::TextureFormat>(m_textureFormat));
    texture->allocateStorage(pixelFormat, pixelType);
    QOpenGLPixelTransferOptions options;
    options.setAlignment(1);
    texture->setData(pixelFormat, pixelType, data, &options);
}

} // namespace KestrelQt3DEngine
