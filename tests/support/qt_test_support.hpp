#pragma once
// Helpers for tests of the desktop program's windows: waiting while the Qt
// event loop runs, finding a message box, and closing a modal dialog from
// inside it.

#include <chrono>
#include <functional>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

// Runs the event loop until done() holds or timeout passes; done()'s last value.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeout.count()) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// The message box on screen, modal or not, or null.
inline QMessageBox* VisibleMessageBox()
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible()) return box;
    }
    return nullptr;
}

inline void RunEvents(std::chrono::milliseconds duration)
{
    WaitUntil([] { return false; }, duration);
}

// Once a modal dialog shows, act(dialog) is run on it (e.g. accept()).
inline void WhenModalShows(std::function<void(QDialog&)> act)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(*dialog);
        }
    });
    poll->start(20);
}
