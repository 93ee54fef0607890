#include <QtQuickTest>

#include "QmlTestSetup.h"

QUICK_TEST_MAIN_WITH_SETUP(main_window_qml, QmlTestSetup)
