#include "app/QmlTypeRegistration.h"

#include <QtQml>

#include "app/QExWrappers.h"
#include "device_network/KdnFactory.h"
#include "device_network/QExRecorder.h"
#include "device_network/QExReplays.h"
#include "engine/Registration.h"
#include "viewers/TaskViewer_OrbDebug_Image.h"
#include "viewers/TaskViewer_OrbTracking_Debug.h"
#include "viewers/TaskViewer_OrbTracking_GyroscopeLatency.h"
#include "viewers/TaskViewer_OrbTracking_MidSpace.h"
#include "viewers/SessionHealthHeatMap.h"
#include "viewers/SessionHealthRoomView.h"
#include "viewers/TaskViewer_OrbTracking_SessionHealth.h"

namespace OrbDebug {

void registerQmlTypes() {
    // Module orb 1.0, in this order (each line joins as its folder lands):
    qmlRegisterType<KdnFactory>("orb", 1, 0, "KdnFactory");
    qmlRegisterType<TaskViewer_OrbTracking_Debug>("orb", 1, 0, "TaskViewer_OrbTracking_Debug_cpp");
    qmlRegisterType<TaskViewer_OrbDebug_Image>("orb", 1, 0, "TaskViewer_OrbDebug_Image_cpp");
    qmlRegisterType<TaskViewer_OrbTracking_GyroscopeLatency>("orb", 1, 0, "TaskViewer_OrbTracking_GyroscopeLatency_cpp");
    qmlRegisterType<TaskViewer_OrbTracking_MidSpace>("orb", 1, 0, "TaskViewer_OrbTracking_MidSpace_cpp");
    qmlRegisterType<TaskViewer_OrbTracking_SessionHealth>("orb", 1, 0, "TaskViewer_OrbTracking_SessionHealth_cpp");
    qmlRegisterUncreatableType<SessionHealthModel>("orb", 1, 0, "SessionHealthModel", "made by the Session Health viewer");
    qmlRegisterType<SessionHealthHeatMap>("orb", 1, 0, "SessionHealthHeatMap");
    qmlRegisterType<SessionHealthRoomView>("orb", 1, 0, "SessionHealthRoomView");
    qmlRegisterType<QExRecorder>("orb", 1, 0, "QExRecorder");
    qmlRegisterType<QExReplays>("orb", 1, 0, "QExReplays");
    qmlRegisterUncreatableType<QExReplay>("orb", 1, 0, "QExReplay", "made by QExReplays");

    qmlRegisterType<QExWrapperInteger>("QEx", 1, 0, "QExWrapperInteger");
    qmlRegisterType<QExWrapperBool>("QEx", 1, 0, "QExWrapperBool");
    qmlRegisterType<QExWrapperDouble>("QEx", 1, 0, "QExWrapperDouble");
    qmlRegisterType<QExWrapperQString>("QEx", 1, 0, "QExWrapperQString");
    qmlRegisterType<QExWrapperQVector3D>("QEx", 1, 0, "QExWrapperQVector3D");

    // Module OrbOpenGlEngine 1.0 and the engine's import folder.
    KestrelQt3DEngine::registerTypes();
}

} // namespace OrbDebug
