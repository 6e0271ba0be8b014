#include "qt_message_box.hpp"

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include <QCoreApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QString>
#include <QThread>
#include <QWidget>
#include <QWindow>

#include "window_registry.hpp"

// Shared with the queued requests, so that a request finishing on the GUI
// thread never touches a waiter that has gone.
struct QtMessageBox::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool shutDown = false;
};

namespace {

QString FromView(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QMessageBox::Icon IconOf(bool exclamation) { return exclamation ? QMessageBox::Warning : QMessageBox::NoIcon; }

}  // namespace

QtMessageBox::QtMessageBox() : shared_(std::make_shared<Shared>()), guiContext_(std::make_unique<QObject>()) {}

QtMessageBox::~QtMessageBox() { CloseOpenBoxes(); }

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
    if (QThread::currentThread() == guiContext_->thread()) {
        QMessageBox box(IconOf(exclamation), FromView(caption), FromView(text), QMessageBox::Ok, WidgetOf(owner));
        box.exec();
        return;
    }

    // The strings are copied: after Shutdown the caller may be gone before
    // the request runs. The owner is resolved on the GUI thread, where a
    // window that has gone meanwhile is seen as none.
    auto done = std::make_shared<bool>(false);
    std::unique_lock lock(shared_->mutex);
    if (shared_->shutDown) return;
    QMetaObject::invokeMethod(
        guiContext_.get(),
        [this, shared = shared_, done, owner, exclamation, text = FromView(text), caption = FromView(caption)] {
            {
                std::lock_guard skip(shared->mutex);
                if (shared->shutDown) return;
            }
            OpenWorkerBox(owner, text, caption, exclamation, done);
        },
        Qt::QueuedConnection);
    shared_->changed.wait(lock, [&] { return *done || shared_->shutDown; });
}

void QtMessageBox::OpenWorkerBox(WindowHandle owner, const QString& text, const QString& caption, bool exclamation,
                                 std::shared_ptr<bool> done)
{
    QWidget* ownerWidget = WidgetOf(owner);
    // No Qt parent: the owner is kept from input by disabling it, which
    // would disable a child box as well. The owner's window is the box's
    // transient parent instead, so that it stays above it, and the box opens
    // over the owner's centre.
    auto* box = new QMessageBox(IconOf(exclamation), caption, text, QMessageBox::Ok);
    box->setWindowModality(Qt::NonModal);
    open_.push_back({box, ownerWidget});

    // Dismissed or closed: either way the box has gone and its caller may go on.
    QObject::connect(box, &QDialog::finished, box, &QObject::deleteLater);
    const QObject* gone = box;
    QObject::connect(box, &QObject::destroyed, guiContext_.get(), [this, gone, shared = shared_, done] {
        Forget(gone);
        std::lock_guard finished(shared->mutex);
        *done = true;
        shared->changed.notify_all();
    });
    if (ownerWidget) {
        ownerWidget->setEnabled(false);
        box->winId();
        if (QWindow* ownerWindow = ownerWidget->window()->windowHandle()) {
            box->windowHandle()->setTransientParent(ownerWindow);
        }
        box->adjustSize();
        QRect placed = box->frameGeometry();
        placed.moveCenter(ownerWidget->mapToGlobal(ownerWidget->rect().center()));
        box->move(placed.topLeft());
    }
    box->show();
}

void QtMessageBox::Forget(const QObject* box)
{
    const auto gone = std::find_if(open_.begin(), open_.end(), [box](const OpenBox& open) { return open.box == box; });
    if (gone == open_.end()) return;
    const QPointer<QWidget> owner = gone->owner;
    open_.erase(gone);
    const bool stillOwned = std::any_of(open_.begin(), open_.end(), [&](const OpenBox& open) {
        return open.owner == owner;
    });
    if (owner && !stillOwned) owner->setEnabled(true);
}

void QtMessageBox::CloseOpenBoxes()
{
    // Deleting a box forgets it, so work from a copy.
    const std::vector<OpenBox> boxes = open_;
    for (const OpenBox& open : boxes) delete open.box;
}

void QtMessageBox::Shutdown()
{
    {
        std::lock_guard lock(shared_->mutex);
        shared_->shutDown = true;
        shared_->changed.notify_all();
    }
    if (QThread::currentThread() == guiContext_->thread()) {
        CloseOpenBoxes();
    } else {
        QMetaObject::invokeMethod(guiContext_.get(), [this] { CloseOpenBoxes(); }, Qt::QueuedConnection);
    }
}
