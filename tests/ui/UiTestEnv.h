#pragma once
// One QApplication for the whole test program, made on first use (GTest's own
// main runs the tests), and helpers to run Qt's event loop.
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <functional>

inline QApplication* EnsureApp() {
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return app;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int s_argc = 1;
    static char s_name[] = "pravik-tests-ui";
    static char* s_argv[] = {s_name, nullptr};
    static QApplication* s_app = new QApplication(s_argc, s_argv);
    return s_app;
}

// Runs Qt's event loop until done() or timeoutMs of real time; returns done().
// Only for code on Qt's own loop and timers; the rest runs on the virtual clock.
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 2000) {
    EnsureApp();
    if (done()) return true;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() >= timeoutMs) loop.quit();
    });
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
