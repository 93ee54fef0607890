#pragma once
// The Image viewer's native side: runs the tracker's debug task and turns its answers into a
// texture constructor (the camera image) and a lined mesh constructor (the detected points)
// for the scene engine. The device is asked off the GUI thread, one request at a time, by the
// viewer's worker (RequestWorker.h): a capture or a setting is noted and sent when the worker
// is free, each kind at most once (auto capture never piles up requests; the newest setting
// wins), and the tick shows what has come back. A request the device does not answer gives up
// after the debug task's answer timeout; a failed capture keeps the previous image or points
// and puts the error into `errorText`.
#include <QString>

#include <optional>
#include <vector>

#include "device_network/TaskViewer.h"
#include "engine/LinedMeshConstructor.h"
#include "engine/TextureConstructors.h"
#include "tracking/runtime/device_tasks/DebugInterfaces.h"
#include "viewers/RequestWorker.h"

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
    // Asks for one camera image; it arrives in the viewer's texture constructor (the same object
    // on every call, returned at once with the image it holds) and imageCaptured() is emitted.
    Q_INVOKABLE KestrelQt3DEngine::BytesTextureConstructor* captureImage();
    // Asks for the detected points; the image circle, one circle per point and the corner mark
    // arrive in the viewer's points geometry (returned at once) and pointsCaptured() is emitted.
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

    // What one request brought back.
    struct Answer {
        enum Kind { Exposure, Threshold, Image, Points } kind = Image;
        QString error;  // empty when the request went through
        uint16_t width = 0, height = 0;
        std::vector<uint8_t> pixels;
        std::vector<Kestrel::Orb::DebugPoint> points;
    };
    RequestWorker<Answer>& requests() { return requests_; }

signals:
    void errorTextChanged();
    void imageCaptured(KestrelQt3DEngine::BytesTextureConstructor* texture);
    void pointsCaptured(KestrelQt3DEngine::LinedMeshConstructor* geometry);

protected:
    Kestrel::DeviceNetwork::InterfaceId taskIdentifier() const override;
    Kestrel::DeviceNetwork::CotaskPair createCotask(Kestrel::DeviceNetwork::NodeHandle node) override;
    void onTick() override;

public:
    // The debug task's viewer face, or null while no task runs.
    Kestrel::Orb::Debug::ICotask* debugTask() const;

private:
    void setErrorText(const QString& text);
    // Hands the next noted request to the worker when it is free.
    void startNext();
    void apply(const Answer& answer);

    int pixelThreshold_ = -1;
    // Noted and not yet handed to the worker.
    std::optional<int> exposure_, threshold_;
    bool wantImage_ = false, wantPoints_ = false;
    Answer::Kind lastCapture_ = Answer::Points;
    KestrelQt3DEngine::BytesTextureConstructor image_;
    KestrelQt3DEngine::LinedMeshConstructor points_;
    QString errorText_;
    RequestWorker<Answer> requests_;
};
