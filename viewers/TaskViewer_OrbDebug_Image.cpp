#include "viewers/TaskViewer_OrbDebug_Image.h"

#include <QQmlEngine>
#include <QSize>
#include <QVector3D>

#include <cmath>
#include <exception>
#include <vector>

#include "interface_contract/ErrorBoundary.h"
#include "interface_contract/Marshal.h"
#include "interface_contract/DebugLog.h"
#include "tracking/runtime/DebugTaskStart.h"
#include "tracking/runtime/OrbDebugCotask.h"

using Kestrel::InterfaceContract::check;
using Kestrel::InterfaceContract::outArray;
using Kestrel::InterfaceContract::Ref;
using Kestrel::Orb::ConfigRecord;
using Kestrel::Orb::DebugPoint;
using Kestrel::Orb::IImage;
using Kestrel::Orb::Debug::OrbDebugCotask;

namespace {
// OpenGL names of one unsigned byte per texel, read as the red channel.
constexpr int glR8 = 0x8229;
constexpr int glRed = 0x1903;
constexpr int glUnsignedByte = 0x1401;

const QVector3D planeNormal(0, 0, 1);
} // namespace

TaskViewer_OrbDebug_Image::TaskViewer_OrbDebug_Image(QObject* parent) : TaskViewer(parent) {
    // Both constructors are members: QML must never collect them.
    QQmlEngine::setObjectOwnership(&image_, QQmlEngine::CppOwnership);
    QQmlEngine::setObjectOwnership(&points_, QQmlEngine::CppOwnership);
}

TaskViewer_OrbDebug_Image::~TaskViewer_OrbDebug_Image() = default;

Kestrel::DeviceNetwork::InterfaceId TaskViewer_OrbDebug_Image::taskIdentifier() const {
    return Kestrel::Orb::Debug::debugTaskId;
}

Kestrel::DeviceNetwork::CotaskPair TaskViewer_OrbDebug_Image::createCotask(Kestrel::DeviceNetwork::NodeHandle) {
    auto task = Kestrel::InterfaceContract::makeInterfaced<OrbDebugCotask, Kestrel::Orb::Debug::ICotask>();
    Kestrel::DeviceNetwork::CotaskPair pair;
    pair.connection = Kestrel::Orb::Debug::wireDebugTask(*static_cast<OrbDebugCotask*>(task.get()));
    pair.cotask = Ref<Kestrel::DeviceNetwork::ICotask>::share(task.get());
    return pair;
}

Kestrel::Orb::Debug::ICotask* TaskViewer_OrbDebug_Image::debugTask() const {
    auto* task = cotaskAs<OrbDebugCotask>();
    return task ? static_cast<Kestrel::Orb::Debug::ICotask*>(task) : nullptr;
}

void TaskViewer_OrbDebug_Image::setErrorText(const QString& text) {
    if (text == errorText_)
        return;
    errorText_ = text;
    emit errorTextChanged();
}

template <class F>
bool TaskViewer_OrbDebug_Image::attempt(const char* what, F&& request) {
    auto* task = debugTask();
    if (!task) {
        setErrorText(QStringLiteral("%1: no task is running").arg(QLatin1String(what)));
        return false;
    }
    try {
        request(*task);
    } catch (const std::exception& e) {
        Kestrel::logLine() << "Image viewer: " << what << " failed: " << e.what();
        setErrorText(QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromUtf8(e.what())));
        return false;
    }
    setErrorText(QString());
    return true;
}

float TaskViewer_OrbDebug_Image::exposureNativeToMs(int exposureRows) const {
    return float(exposureRows) * 928.0f / 49950.0f;
}

void TaskViewer_OrbDebug_Image::setExposure(int rows) {
    attempt("setExposure", [&](Kestrel::Orb::Debug::ICotask& task) { check(&task, task.setExposure(rows)); });
}

void TaskViewer_OrbDebug_Image::setPixelThreshold(int newPixelThreshold) {
    pixelThreshold_ = newPixelThreshold;
    attempt("setPixelThreshold", [&](Kestrel::Orb::Debug::ICotask& task) {
        const ConfigRecord record{Kestrel::Orb::ConfigType::pixelThreshold, 0, newPixelThreshold};
        check(&task, task.setConfig(&record));
    });
}

KestrelQt3DEngine::BytesTextureConstructor* TaskViewer_OrbDebug_Image::captureImage() {
    attempt("captureImage", [&](Kestrel::Orb::Debug::ICotask& task) {
        Ref<IImage> image;
        check(&task, task.getImage(image.out()));
        uint16_t width = 0, height = 0;
        check(image.get(), image->getWidth(&width));
        check(image.get(), image->getHeight(&height));
        std::vector<uint8_t> pixels;
        auto out = outArray(pixels);
        check(image.get(), image->getData(&out));
        // A short pixel array would make the upload read past it: refuse it and keep the last image.
        if (pixels.size() < size_t(width) * height)
            throw std::runtime_error("image holds fewer pixels than its size");
        image_.setTextureSize(QSize(width, height));
        image_.setData(reinterpret_cast<const char*>(pixels.data()), int(size_t(width) * height));
        image_.setTextureFormat(glR8);
        image_.setTexturePixelFormat(glRed);
        image_.setTexturePixelType(glUnsignedByte);
    });
    return &image_;
}

KestrelQt3DEngine::LinedMeshConstructor* TaskViewer_OrbDebug_Image::capturePoints() {
    std::vector<DebugPoint> points;
    const bool running = debugTask() != nullptr;
    const bool answered = attempt("capturePoints", [&](Kestrel::Orb::Debug::ICotask& task) {
        auto out = outArray(points);
        check(&task, task.getPoints(&out));
    });
    // A request the device did not answer keeps the points drawn last; without a task the
    // list is empty and only the image circle and the corner mark are drawn.
    if (running && !answered)
        return &points_;
    buildPointsGeometry(points_, points);
    return &points_;
}

void TaskViewer_OrbDebug_Image::buildPointsGeometry(KestrelQt3DEngine::LinedMeshConstructor& geometry,
                                                    const std::vector<DebugPoint>& points) {
    geometry.clear();
    geometry.setCurrentColor(QColor("white"));
    geometry.setSegmentsCount(128);
    geometry.circle(240, QVector3D(320, 240, 0), planeNormal);
    geometry.setSegmentsCount(32);
    for (const DebugPoint& point : points)
        geometry.circle(std::sqrt(point.value / pointValuePerSquarePixel), QVector3D(point.x, point.y, 0), planeNormal);
    geometry.circle(0.5, QVector3D(1, 1, 0), planeNormal);
}
