#pragma once
// Tests that create a QGuiApplication run under Xvfb (scripts/test); started by hand without a
// display they fall back to the offscreen platform with the software scene graph.

#include <QtGlobal>

inline void chooseTestPlatform() {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("QT_QUICK_BACKEND", "software");
    }
}
