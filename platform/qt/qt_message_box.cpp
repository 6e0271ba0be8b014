#include "platform/qt/qt_message_box.hpp"

#include <condition_variable>
#include <mutex>

#include <QCoreApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QString>
#include <QThread>
#include <QWidget>

// Shared with the queued requests, so that a request finishing on the GUI
// thread never touches a waiter that has gone.
struct QtMessageBox::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool shutDown = false;
};

namespace {

QString FromView(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

void RunBox(QWidget* owner, const QString& text, const QString& caption, bool exclamation)
{
    QMessageBox box(exclamation ? QMessageBox::Warning : QMessageBox::NoIcon, caption, text, QMessageBox::Ok, owner);
    box.exec();
}

}  // namespace

QtMessageBox::QtMessageBox() : shared_(std::make_shared<Shared>()), guiContext_(std::make_unique<QObject>()) {}

QtMessageBox::~QtMessageBox() = default;

void QtMessageBox::Show(WindowHandle owner, std::string_view text, std::string_view caption)
{
    ShowBox(owner, text, caption, false);
}

void QtMessageBox::ShowExclamation(WindowHandle owner, std::string_view text, std::string_view caption)
{
    ShowBox(owner, text, caption, true);
}

void QtMessageBox::ShowBox(WindowHandle owner, std::string_view text, std::string_view caption, bool exclamation)
{
    auto* parent = static_cast<QWidget*>(owner);
    if (QThread::currentThread() == guiContext_->thread()) {
        RunBox(parent, FromView(text), FromView(caption), exclamation);
        return;
    }

    // The strings are copied: after Shutdown the caller may be gone before
    // the request runs.
    auto done = std::make_shared<bool>(false);
    std::unique_lock lock(shared_->mutex);
    if (shared_->shutDown) return;
    QMetaObject::invokeMethod(
        guiContext_.get(),
        [shared = shared_, done, parent, exclamation, text = FromView(text), caption = FromView(caption)] {
            {
                std::lock_guard skip(shared->mutex);
                if (shared->shutDown) return;
            }
            RunBox(parent, text, caption, exclamation);
            std::lock_guard finished(shared->mutex);
            *done = true;
            shared->changed.notify_all();
        },
        Qt::QueuedConnection);
    shared_->changed.wait(lock, [&] { return *done || shared_->shutDown; });
}

void QtMessageBox::Shutdown()
{
    std::lock_guard lock(shared_->mutex);
    shared_->shutDown = true;
    shared_->changed.notify_all();
}
