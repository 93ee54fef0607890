.pragma library
// The table of task viewers, in menu order. The identifier parts come from each viewer's native
// type (its `constants`); while a type is not registered, its row uses the identifier of the
// task that viewer runs, so the menus still list it.

// Signed 32-bit parts of the tracking task A6C07D30-E3CF-44ED-B996-5F96998392E2 and of the
// debug task 2AD83E54-9F90-4C8F-9E40-34231CB5F898, as the viewers publish them.
var trackingTask = [-1497334480, 1156441039, -1772120391, -493714535];
var debugTask = [718814804, 1284480912, 590626974, -1728531172];

// The i-th identifier part of a type's constants. The member is named by a computed key: the
// script engine caches a plain `constants.InterfaceId0` per place in the code, not per type,
// so every viewer after the first would get the first viewer's task.
function part(constants, i) {
    return constants["InterfaceId" + i];
}

function entry(title, icon, viewerName, constants, task) {
    var known = constants !== undefined && constants !== null && part(constants, 0) !== undefined;
    return {
        title: title,
        icon: icon,
        viewerName: viewerName,
        InterfaceId0: known ? part(constants, 0) : task[0],
        InterfaceId1: known ? part(constants, 1) : task[1],
        InterfaceId2: known ? part(constants, 2) : task[2],
        InterfaceId3: known ? part(constants, 3) : task[3]
    };
}

// `icons` is the glyph table, `constantsOf(typeName)` the type's constants or undefined.
function taskViewers(icons, constantsOf) {
    return [
        entry("Tracking Debug", icons.crosshairs_gps, "TaskViewer_OrbTracking_Debug.qml",
              constantsOf("TaskViewer_OrbTracking_Debug_cpp"), trackingTask),
        entry("MidSpace", icons.blur_radial, "TaskViewer_OrbTracking_MidSpace.qml",
              constantsOf("TaskViewer_OrbTracking_MidSpace_cpp"), trackingTask),
        entry("Gyroscope Latency", icons.timer, "TaskViewer_OrbTracking_GyroscopeLatency.qml",
              constantsOf("TaskViewer_OrbTracking_GyroscopeLatency_cpp"), trackingTask),
        entry("Image", icons.video_image, "TaskViewer_OrbDebug_Image.qml",
              constantsOf("TaskViewer_OrbDebug_Image_cpp"), debugTask),
        entry("Session Health", icons.heart_pulse, "TaskViewer_OrbTracking_SessionHealth.qml",
              constantsOf("TaskViewer_OrbTracking_SessionHealth_cpp"), trackingTask)
    ];
}
