#pragma once
// Shared by the widget tests: one QApplication for the whole test program,
// created on first use (the test programs link GTest's own main, so there is
// no main of ours to create it in), and helpers to run Qt's event loop.
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <functional>

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

// Runs Qt's event loop until done() is true or timeoutMs of real time have
// passed; returns done(). For code that runs on Qt's own loop and timers
// (CQtMessageLoop, animations); everything else runs on the virtual clock.
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 2000) {
    EnsureApp();
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() >= timeoutMs) loop.quit();
    });
    if (done()) return true;
    poll.start(1);
    loop.exec();
    return done();
}

// Delivers posted events and deletes the objects whose deleteLater() ran.
inline void FlushEvents() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}
