#pragma once
// Shared by the widget tests: one QApplication for the whole test program,
// created on first use. The test programs link GTest's own main, so there is
// no main of ours to create it in.
#include <QApplication>
#include <cstdlib>

inline QApplication* EnsureApp() {
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return app;
    // Headless unless the caller chose a platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int s_argc = 1;
    static char s_name[] = "pravik-tests-ui";
    static char* s_argv[] = {s_name, nullptr};
    static QApplication* s_app = new QApplication(s_argc, s_argv);
    return s_app;
}
