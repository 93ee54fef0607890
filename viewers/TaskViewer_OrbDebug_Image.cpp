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
#include "tracking/runtime/device_tasks/DebugTaskStart.h"
#include "tracking/runtime/device_tasks/OrbDebugCotask.h"

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

float TaskViewer_OrbDebug_Image::exposureNativeToMs(int exposureRows) const {
    return float(exposureRows) * 928.0f / 49950.0f;
}

void TaskViewer_OrbDebug_Image::setExposure(int rows) {
    exposure_ = rows;
    startNext();
}

void TaskViewer_OrbDebug_Image::setPixelThreshold(int newPixelThreshold) {
    pixelThreshold_ = newPixelThreshold;
    threshold_ = newPixelThreshold;
    startNext();
}

KestrelQt3DEngine::BytesTextureConstructor* TaskViewer_OrbDebug_Image::captureImage() {
    wantImage_ = true;
    startNext();
    return &image_;
}

KestrelQt3DEngine::LinedMeshConstructor* TaskViewer_OrbDebug_Image::capturePoints() {
    wantPoints_ = true;
    startNext();
    return &points_;
}

void TaskViewer_OrbDebug_Image::onTick() {
    if (std::optional<Answer> answer = requests_.take())
        apply(*answer);
    startNext();
}

namespace {

const char* nameOf(TaskViewer_OrbDebug_Image::Answer::Kind kind) {
    using Kind = TaskViewer_OrbDebug_Image::Answer::Kind;
    switch (kind) {
    case Kind::Exposure: return "setExposure";
    case Kind::Threshold: return "setPixelThreshold";
    case Kind::Image: return "captureImage";
    case Kind::Points: return "capturePoints";
    }
    return "";
}

// One request to the debug task, on the worker's thread.
TaskViewer_OrbDebug_Image::Answer ask(Kestrel::Orb::Debug::ICotask& task, TaskViewer_OrbDebug_Image::Answer::Kind kind,
                                      int value) {
    using Answer = TaskViewer_OrbDebug_Image::Answer;
    Answer answer;
    answer.kind = kind;
    try {
        switch (kind) {
        case Answer::Exposure:
            check(&task, task.setExposure(value));
            break;
        case Answer::Threshold: {
            const ConfigRecord record{Kestrel::Orb::ConfigType::pixelThreshold, 0, value};
            check(&task, task.setConfig(&record));
            break;
        }
        case Answer::Image: {
            Ref<IImage> image;
            check(&task, task.getImage(image.out()));
            check(image.get(), image->getWidth(&answer.width));
            check(image.get(), image->getHeight(&answer.height));
            auto out = outArray(answer.pixels);
            check(image.get(), image->getData(&out));
            // A short pixel array would make the upload read past it: refuse it and keep the last image.
            if (answer.pixels.size() < size_t(answer.width) * answer.height)
                throw std::runtime_error("image holds fewer pixels than its size");
            break;
        }
        case Answer::Points: {
            auto out = outArray(answer.points);
            check(&task, task.getPoints(&out));
            break;
        }
        }
    } catch (const std::exception& e) {
        Kestrel::logLine() << "Image viewer: " << nameOf(kind) << " failed: " << e.what();
        answer.error = QStringLiteral("%1: %2").arg(QLatin1String(nameOf(kind)), QString::fromUtf8(e.what()));
    }
    return answer;
}

} // namespace

void TaskViewer_OrbDebug_Image::startNext() {
    Kestrel::Orb::Debug::ICotask* task = debugTask();
    if (!task) {
        // Without a task nothing is asked: a capture draws what an empty answer draws.
        if (wantPoints_) {
            buildPointsGeometry(points_, {});
            emit pointsCaptured(&points_);
        }
        if (wantImage_ || wantPoints_ || exposure_ || threshold_)
            setErrorText(QStringLiteral("no task is running"));
        wantImage_ = wantPoints_ = false;
        exposure_.reset();
        threshold_.reset();
        return;
    }
    if (requests_.busy())
        return;
    // Settings first, newest value; then the captures in turn, so that one does not starve the other.
    Answer::Kind kind;
    int value = 0;
    if (exposure_) {
        kind = Answer::Exposure;
        value = *std::exchange(exposure_, std::nullopt);
    } else if (threshold_) {
        kind = Answer::Threshold;
        value = *std::exchange(threshold_, std::nullopt);
    } else if (wantImage_ && (!wantPoints_ || lastCapture_ == Answer::Points)) {
        kind = lastCapture_ = Answer::Image;
        wantImage_ = false;
    } else if (wantPoints_) {
        kind = lastCapture_ = Answer::Points;
        wantPoints_ = false;
    } else {
        return;
    }
    // The request holds the task; the viewer may close while the device keeps it waiting.
    requests_.post([owner = cotask(), task, kind, value](const std::atomic<bool>&) { return ask(*task, kind, value); });
}

void TaskViewer_OrbDebug_Image::apply(const Answer& answer) {
    setErrorText(answer.error);
    if (!answer.error.isEmpty())
        return;
    if (answer.kind == Answer::Image) {
        image_.setTextureSize(QSize(answer.width, answer.height));
        image_.setData(reinterpret_cast<const char*>(answer.pixels.data()), int(size_t(answer.width) * answer.height));
        image_.setTextureFormat(glR8);
        image_.setTexturePixelFormat(glRed);
        image_.setTexturePixelType(glUnsignedByte);
        emit imageCaptured(&image_);
    } else if (answer.kind == Answer::Points) {
        buildPointsGeometry(points_, answer.points);
        emit pointsCaptured(&points_);
    }
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
