#pragma once
// The Qt application of the window tests: offscreen unless the environment
// names a platform, made by the first test that needs it and kept until the
// process ends.

#include <QApplication>

namespace uitest {

inline void ensureApplication() {
    if (QApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "sorlix-ui-test";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

} // namespace uitest
