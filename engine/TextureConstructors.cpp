#include "engine/TextureConstructors.h"

#include <QOpenGLTexture>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace KestrelQt3DEngine {

BytesTextureConstructor::BytesTextureConstructor(QObject* parent) : AbstractTextureConstructor(parent) {}

BytesTextureConstructor* BytesTextureConstructor::setTextureSize(const QSize& textureSize) {
    m_textureSize = textureSize;
    return this;
}

BytesTextureConstructor* BytesTextureConstructor::setData(const QVariant& textureSource) {
    if (textureSource.userType() == QMetaType::QByteArray)
        m_data = textureSource.toByteArray();
    return this;
}

void BytesTextureConstructor::setData(const char* data, int size) { m_data = QByteArray(data, size); }

BytesTextureConstructor* BytesTextureConstructor::setTextureFormat(int textureFormat) {
    m_textureFormat = textureFormat;
    return this;
}

BytesTextureConstructor* BytesTextureConstructor::setTexturePixelFormat(int texturePixelFormat) {
    m_pixelFormat = texturePixelFormat;
    return this;
}

BytesTextureConstructor* BytesTextureConstructor::setTexturePixelType(int texturePixelType) {
    m_pixelType = texturePixelType;
    return this;
}

void BytesTextureConstructor::fill(QOpenGLTexture* texture) { fillRaw(texture, m_data.constData(), m_data.size()); }

RgbaTextureConstructor::RgbaTextureConstructor(QObject* parent) : AbstractTextureConstructor(parent) {}

RgbaTextureConstructor* RgbaTextureConstructor::setTextureSize(const QSize& textureSize) {
    m_textureSize = textureSize;
    return this;
}

RgbaTextureConstructor* RgbaTextureConstructor::setData(const QVariant& textureSource) {
    if (!textureSource.canConvert<QVariantList>() || textureSource.userType() == QMetaType::QString)
        return this;
    const QVariantList list = textureSource.toList();
    m_data.clear();
    m_data.reserve(list.size());
    for (const QVariant& element : list) {
        bool ok = false;
        const float value = element.toFloat(&ok);
        m_data.append(ok ? value : 0.0f);
    }
    return this;
}

RgbaTextureConstructor* RgbaTextureConstructor::setTextureFormat(int textureFormat) {
    m_textureFormat = textureFormat;
    return this;
}

RgbaTextureConstructor* RgbaTextureConstructor::setTexturePixelFormat(int texturePixelFormat) {
    m_pixelFormat = texturePixelFormat;
    return this;
}

RgbaTextureConstructor* RgbaTextureConstructor::setTexturePixelType(int texturePixelType) {
    m_pixelType = texturePixelType;
    return this;
}

void RgbaTextureConstructor::fill(QOpenGLTexture* texture) {
    fillRaw(texture, m_data.constData(), qsizetype(m_data.size()) * qsizetype(sizeof(float)));
}

ImageTextureConstructor::ImageTextureConstructor(QObject* parent) : AbstractTextureConstructor(parent) {}

void ImageTextureConstructor::storeImage(const QImage& image) {
    m_image = image;
    m_textureSize = image.size();
    emit textureSizeChanged();
}

ImageTextureConstructor* ImageTextureConstructor::setTextureImage(const QImage& textureImage) {
    storeImage(textureImage);
    return this;
}

ImageTextureConstructor* ImageTextureConstructor::loadTextureFromPath(const QString& texturePath) {
    storeImage(QImage(texturePath));
    return this;
}

ImageTextureConstructor* ImageTextureConstructor::loadTextureFromSvg(const QString& path, int width, int height) {
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(path);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    storeImage(pixmap.toImage());
    return this;
}

void ImageTextureConstructor::fill(QOpenGLTexture* texture) {
    if (m_image.isNull())
        return;
    texture->setData(m_image, QOpenGLTexture::GenerateMipMaps);
    texture->generateMipMaps();
}

} // namespace KestrelQt3DEngine
