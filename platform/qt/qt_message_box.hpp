#pragma once
// Message boxes (only OK) shown on the GUI thread.
//
// A call on the GUI thread runs its box modally and returns once it is
// dismissed. A call from another thread waits the same way, but its box
// leaves the program usable meanwhile: it is modal only to its owner window
// (the owner alone takes no input while it is shown), or to nothing when the
// owner is null or has gone, so the menu still works and a close request is
// still heard. Shutdown closes such boxes and lets their callers go.
// Make and destroy it on the GUI thread, after the QApplication exists.

#include <memory>
#include <string_view>
#include <vector>

#include <QPointer>

#include "message_box.hpp"

class QObject;
class QString;
class QWidget;

class QtMessageBox : public MessageBox {
public:
    QtMessageBox();
    ~QtMessageBox() override;

    // owner is a handle from the window registry, or null.
    void Show(WindowHandle owner, std::string_view text, std::string_view caption) override;
    void ShowExclamation(WindowHandle owner, std::string_view text, std::string_view caption) override;

    // From any thread, as the process ends: every thread waiting in Show
    // returns at once, boxes shown for them close, boxes not yet shown are
    // dropped, and later Show calls from other threads than the GUI thread
    // return at once.
    void Shutdown();

private:
    struct Shared;
    // A box is forgotten as it is destroyed, so the pointer is always live
    // here; held as a QObject, which is all a box still is by then.
    struct OpenBox {
        QObject* box;
        QPointer<QWidget> owner;
    };

    void ShowBox(WindowHandle owner, std::string_view text, std::string_view caption, bool exclamation);
    // GUI thread: shows a box for a waiting thread without blocking; it sets
    // *done and wakes the waiters once the box has gone.
    void OpenWorkerBox(WindowHandle owner, const QString& text, const QString& caption, bool exclamation,
                       std::shared_ptr<bool> done);
    // GUI thread: forgets a box that has gone and gives its owner input back
    // unless another open box still has that owner.
    void Forget(const QObject* box);
    void CloseOpenBoxes();

    std::shared_ptr<Shared> shared_;
    std::vector<OpenBox> open_;  // GUI thread only
    // Lives on the GUI thread and receives the boxes asked for elsewhere;
    // destroying it drops requests still queued.
    std::unique_ptr<QObject> guiContext_;
};
