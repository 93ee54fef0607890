#pragma once
#include "engine/AbstractTextureConstructor.h"

#include <QByteArray>
#include <QImage>
#include <QVariant>
#include <QVector>

namespace KestrelQt3DEngine {

// Texture from raw bytes (a camera image, for example) with the given formats.
class BytesTextureConstructor : public AbstractTextureConstructor {
    Q_OBJECT
public:
    explicit BytesTextureConstructor(QObject* parent = nullptr);

    Q_INVOKABLE KestrelQt3DEngine::BytesTextureConstructor* setTextureSize(const QSize& textureSize);
    // A byte array; other values are ignored.
    Q_INVOKABLE KestrelQt3DEngine::BytesTextureConstructor* setData(const QVariant& textureSource);
    Q_INVOKABLE KestrelQt3DEngine::BytesTextureConstructor* setTextureFormat(int textureFormat);
    Q_INVOKABLE KestrelQt3DEngine::BytesTextureConstructor* setTexturePixelFormat(int texturePixelFormat);
    Q_INVOKABLE KestrelQt3DEngine::BytesTextureConstructor* setTexturePixelType(int texturePixelType);
    // For native callers that hold the bytes already.
    void setData(const char* data, int size);

    const QByteArray& data() const { return m_data; }
    void fill(QOpenGLTexture* texture) override;

private:
    QByteArray m_data;
};

// Texture from a list of floats, four components a texel by default.
class RgbaTextureConstructor : public AbstractTextureConstructor {
    Q_OBJECT
public:
    explicit RgbaTextureConstructor(QObject* parent = nullptr);

    Q_INVOKABLE KestrelQt3DEngine::RgbaTextureConstructor* setTextureSize(const QSize& textureSize);
    // Each element of a list converted to float (0 when it does not convert); a non-list is ignored.
    Q_INVOKABLE KestrelQt3DEngine::RgbaTextureConstructor* setData(const QVariant& textureSource);
    Q_INVOKABLE KestrelQt3DEngine::RgbaTextureConstructor* setTextureFormat(int textureFormat);
    Q_INVOKABLE KestrelQt3DEngine::RgbaTextureConstructor* setTexturePixelFormat(int texturePixelFormat);
    Q_INVOKABLE KestrelQt3DEngine::RgbaTextureConstructor* setTexturePixelType(int texturePixelType);

    const QVector<float>& data() const { return m_data; }
    void fill(QOpenGLTexture* texture) override;

private:
    QVector<float> m_data;
    int m_componentCount = 4;
};

// Texture from an image: a QImage, an image file or an SVG rendered at a given size.
class ImageTextureConstructor : public AbstractTextureConstructor {
    Q_OBJECT
    Q_PROPERTY(QSize textureSize READ textureSize NOTIFY textureSizeChanged)
public:
    explicit ImageTextureConstructor(QObject* parent = nullptr);

    Q_INVOKABLE KestrelQt3DEngine::ImageTextureConstructor* setTextureImage(const QImage& textureImage);
    Q_INVOKABLE KestrelQt3DEngine::ImageTextureConstructor* loadTextureFromPath(const QString& texturePath);
    Q_INVOKABLE KestrelQt3DEngine::ImageTextureConstructor* loadTextureFromSvg(const QString& path, int width, int height);

    const QImage& image() const { return m_image; }
    void fill(QOpenGLTexture* texture) override;

signals:
    void textureSizeChanged();

private:
    void storeImage(const QImage& image);

    QImage m_image;
};

} // namespace KestrelQt3DEngine
