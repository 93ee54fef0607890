#pragma once
// The MidSpace viewer's native side: runs the tracking task with MidSpaceCotask and draws, in
// the normalised image plane of the camera model, the unit circle, the field-of-view clip
// circle, the 90-degree circle, the last frame's points re-projected to the tracker's centre
// and, as the switches in `controls` ask, their coordinates, their opposite directions, the
// running average and spread of single-blob frames, and the averaged angular velocity.
// Averages of an empty accumulator window (and an angular velocity of zero) are not drawn.
#include <QString>
#include <QVariantMap>

#include "device_network/TaskViewer.h"
#include "engine/LinedMeshConstructor.h"
#include "tracking/runtime/device_tasks/MidSpaceCotask.h"

class TaskViewer_OrbTracking_MidSpace : public TaskViewer {
    Q_OBJECT
    Q_PROPERTY(QVariantMap controls READ controls WRITE setControls NOTIFY controlsChanged)
public:
    enum constants : int {
        InterfaceId0 = int(0xA6C07D30u),
        InterfaceId1 = int(0x44EDE3CFu),
        InterfaceId2 = int(0x965F96B9u),
        InterfaceId3 = int(0xE2928399u),
    };
    Q_ENUM(constants)

    static constexpr const char* showPointsCoordinates = "Show points coordinates";
    static constexpr const char* showNegativePoints = "Show negative points";
    static constexpr const char* showAveragedPoint = "Show averaged point";
    static constexpr const char* angularVelocity = "Angular velocity";

    explicit TaskViewer_OrbTracking_MidSpace(QObject* parent = nullptr);
    ~TaskViewer_OrbTracking_MidSpace() override;

    QVariantMap controls() const { return controls_; }
    void setControls(const QVariantMap& controls);

    // The unified projection of a unit direction onto the normalised image plane: (x, y) / r
    // with r = |(x, y, z + xi)|, times 1 / (1 - ((z + xi) / r)^2) when (z + xi) / r < 0.
    static QVector3D project(const KestrelMath::vector3<float>& direction, float xi);

    // The drawing of one tick from the task's state.
    void draw(const Kestrel::Orb::Tracking::MidSpaceCotask& task);

    KestrelQt3DEngine::LinedMeshConstructor* geometry() { return &geometry_; }

signals:
    void controlsChanged();
    void emitNewGeometry(KestrelQt3DEngine::LinedMeshConstructor* geometry);

protected:
    Kestrel::DeviceNetwork::InterfaceId taskIdentifier() const override;
    Kestrel::DeviceNetwork::CotaskPair createCotask(Kestrel::DeviceNetwork::NodeHandle node) override;
    void onTick() override;

private:
    // The switch's value; a missing switch is added as false.
    bool control(const char* name);
    void drawPoint(const QVector3D& point, bool withCoordinates);

    QVariantMap controls_;
    KestrelQt3DEngine::LinedMeshConstructor geometry_;
};
