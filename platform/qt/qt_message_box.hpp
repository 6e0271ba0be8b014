#pragma once
// Modal message boxes (only OK) shown on the GUI thread. A call
// from another thread waits until its box is dismissed, or until Shutdown.
// Make and destroy it on the GUI thread, after the QApplication exists.

#include <memory>
#include <string_view>

#include "platform/message_box.hpp"

class QObject;

class QtMessageBox : public MessageBox {
public:
    QtMessageBox();
    ~QtMessageBox() override;

    // owner is the parent QWidget*, or null.
    void Show(WindowHandle owner, std::string_view text, std::string_view caption) override;
    void ShowExclamation(WindowHandle owner, std::string_view text, std::string_view caption) override;

    // From any thread, as the process ends: every thread waiting in Show
    // returns at once, boxes not yet shown are dropped, and later Show calls
    // from other threads than the GUI thread return at once.
    void Shutdown();

private:
    void ShowBox(WindowHandle owner, std::string_view text, std::string_view caption, bool exclamation);

    struct Shared;
    std::shared_ptr<Shared> shared_;
    // Lives on the GUI thread and receives the boxes asked for elsewhere;
    // destroying it drops requests still queued.
    std::unique_ptr<QObject> guiContext_;
};
