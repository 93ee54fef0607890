#pragma once
// The Image viewer's native side: runs the tracker's debug task and turns its answers into a
// texture constructor (the camera image) and a lined mesh constructor (the detected points)
// for the scene engine. Requests block the GUI thread until the device answers, at most the
// debug task's answer timeout; a failed request keeps the previous image or points and puts
// the error into `errorText`.
#include <QString>

#include <vector>

#include "device_network/TaskViewer.h"
#include "engine/LinedMeshConstructor.h"
#include "engine/TextureConstructors.h"
#include "tracking/runtime/DebugInterfaces.h"

class TaskViewer_OrbDebug_Image : public TaskViewer {
    Q_OBJECT
    Q_PROPERTY(QString errorText READ errorText NOTIFY errorTextChanged)
public:
    enum constants : int {
        ImageWidth = 640,
        ImageHeight = 480,
        InterfaceId0 = int(0x2AD83E54u),
        InterfaceId1 = int(0x4C8F9F90u),
        InterfaceId2 = int(0x2334409Eu),
        InterfaceId3 = int(0x98F8B51Cu),
    };
    Q_ENUM(constants)

    // The float nearest 255 * pi: a blob of this value is drawn with a radius of one pixel.
    static constexpr float pointValuePerSquarePixel = 801.10614f;

    explicit TaskViewer_OrbDebug_Image(QObject* parent = nullptr);
    ~TaskViewer_OrbDebug_Image() override;

    // Exposure in sensor rows to milliseconds: rows * 928 / 49950, in single precision.
    Q_INVOKABLE float exposureNativeToMs(int exposureRows) const;
    Q_INVOKABLE void setExposure(int rows);
    // The threshold last set from the UI, -1 before any; it is not read back from the device.
    Q_INVOKABLE int getPixelThreshold() const { return pixelThreshold_; }
    Q_INVOKABLE void setPixelThreshold(int newPixelThreshold);
    // One camera image into the viewer's texture constructor (the same object on every call).
    Q_INVOKABLE KestrelQt3DEngine::BytesTextureConstructor* captureImage();
    // The image circle, one circle per detected point and the corner mark, into the viewer's
    // points geometry (the same object on every call).
    Q_INVOKABLE KestrelQt3DEngine::LinedMeshConstructor* capturePoints();

    // The last request's error, empty after a request that succeeded.
    QString errorText() const { return errorText_; }

    // The image circle (radius 240 around the image centre, 128 segments), a circle of radius
    // sqrt(value / 801.10614) around each point (32 segments) and the corner mark, a circle of
    // radius 0.5 around (1, 1), all white.
    static void buildPointsGeometry(KestrelQt3DEngine::LinedMeshConstructor& geometry,
                                    const std::vector<Kestrel::Orb::DebugPoint>& points);

    KestrelQt3DEngine::BytesTextureConstructor* imageConstructor() { return &image_; }
    KestrelQt3DEngine::LinedMeshConstructor* pointsGeometry() { return &points_; }

signals:
    void errorTextChanged();

protected:
    Kestrel::DeviceNetwork::InterfaceId taskIdentifier() const override;
    Kestrel::DeviceNetwork::CotaskPair createCotask(Kestrel::DeviceNetwork::NodeHandle node) override;

public:
    // The debug task's viewer face, or null while no task runs.
    Kestrel::Orb::Debug::ICotask* debugTask() const;

private:
    void setErrorText(const QString& text);
    // Runs one request; an exception becomes the error text and false.
    template <class F>
    bool attempt(const char* what, F&& request);

    int pixelThreshold_ = -1;
    KestrelQt3DEngine::BytesTextureConstructor image_;
    KestrelQt3DEngine::LinedMeshConstructor points_;
    QString errorText_;
};
