#pragma once
// One QApplication for the whole test program, made on first use (GTest's own
// main runs the tests), and helpers to run Qt's event loop and press keys.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>

#include "platform/qt/UiOperator.h"
#include "widgets/AnimateCtrl.h"
#include "widgets/DialogTemplate.h"

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

inline void Press(QWidget* window, int key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &event);
}

// Types text into a widget key by key, as a keyboard or an input method
// delivers it: one key event per character, a character beyond U+FFFF (a
// surrogate pair) in one event. An edit's limits and validator apply.
inline void TypeKeys(QWidget* widget, const QString& text) {
    for (int i = 0; i < text.size(); ++i) {
        const int length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, length);
        i += length - 1;
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, character);
        QCoreApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, character);
        QCoreApplication::sendEvent(widget, &release);
    }
}

// A screen reader's toggle action on a check box or radio button: the state
// changes without a click. False when the button offers no such action.
inline bool ToggleByScreenReader(QWidget* widget) {
    auto* button = qobject_cast<QAbstractButton*>(widget);
    QAccessibleInterface* face = button ? QAccessible::queryAccessibleInterface(button) : nullptr;
    QAccessibleActionInterface* actions = face ? face->actionInterface() : nullptr;
    const QString toggle = QAccessibleActionInterface::toggleAction();
    if (!actions || !actions->actionNames().contains(toggle)) return false;
    actions->doAction(toggle);
    return true;
}
