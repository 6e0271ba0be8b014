// Message boxes asked for from the GUI thread and from a transmit-like
// worker thread, with the GUI thread's event loop running meanwhile.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <utility>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include "support/qt_test_support.hpp"
#include "qt_message_box.hpp"
#include "window_registry.hpp"

namespace {

using namespace std::chrono_literals;

// Looks for the message box from a timer, so that it works inside a modal
// box's own event loop; hands each newly shown box to onBox, and every tick
// with a box open to whileOpen.
class BoxWatcher {
public:
    BoxWatcher()
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QMessageBox* box = VisibleMessageBox();
            if (!box) return;
            if (box != last_) {
                last_ = box;
                ++seen;
                text = box->text();
                caption = box->windowTitle();
                parent = box->parentWidget();
                buttons = box->buttons().size();
                okButton = box->button(QMessageBox::Ok) != nullptr;
                icon = box->icon();
                if (onBox) onBox(box);
            } else if (whileOpen) {
                whileOpen(box);
            }
        });
        timer_.start(10);
    }

    std::function<void(QMessageBox*)> onBox;
    std::function<void(QMessageBox*)> whileOpen;
    int seen = 0;
    QString text;
    QString caption;
    QWidget* parent = nullptr;
    qsizetype buttons = 0;
    bool okButton = false;
    QMessageBox::Icon icon = QMessageBox::Critical;

private:
    QTimer timer_;
    QMessageBox* last_ = nullptr;
};

// Runs the GUI thread's events until done() holds; false after 5 s.
bool ProcessEventsUntil(const std::function<bool()>& done)
{
    const auto giveUp = std::chrono::steady_clock::now() + 5s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > giveUp) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(QtMessageBoxTest, ShowsAPlainOkBoxOnTheGuiThreadUntilDismissed)
{
    QtMessageBox messages;
    QWidget owner;
    BoxWatcher watcher;
    watcher.onBox = [](QMessageBox* box) { box->button(QMessageBox::Ok)->click(); };

    messages.Show(HandleOf(&owner), "CANTOPENFILE", "Error");

    EXPECT_EQ(watcher.seen, 1);
    EXPECT_EQ(watcher.text, "CANTOPENFILE");
    EXPECT_EQ(watcher.caption, "Error");
    EXPECT_EQ(watcher.parent, &owner);
    EXPECT_EQ(watcher.buttons, 1);
    EXPECT_TRUE(watcher.okButton);
    EXPECT_EQ(watcher.icon, QMessageBox::NoIcon);
}

// A worker's box must not freeze the program: nothing is application-modal
// while it is shown, only its owner (if any) is kept from input, and the
// worker waits until the box has gone, however it goes.
TEST(QtMessageBoxTest, AWorkerWaitsForItsBoxWhileTheRestOfTheProgramStaysUsable)
{
    enum class Ends { Ok, OwnerDestroyed };
    for (const auto& [withOwner, ends] : {std::pair{false, Ends::Ok}, std::pair{true, Ends::Ok},
                                         std::pair{true, Ends::OwnerDestroyed}}) {
        SCOPED_TRACE(testing::Message() << "owner " << withOwner << ", ends " << static_cast<int>(ends));
        QtMessageBox messages;
        QWidget mainWindow;
        auto* owner = new QWidget(&mainWindow);
        mainWindow.show();
        BoxWatcher watcher;
        std::atomic<bool> returned = false;
        bool returnedWhileOpen = false;
        bool modalWhileOpen = false;
        bool ownerTookInput = false;
        int ticksWhileOpen = 0;
        // Keep the box open over several GUI-thread timer ticks.
        watcher.whileOpen = [&](QMessageBox* box) {
            returnedWhileOpen = returnedWhileOpen || returned;
            modalWhileOpen = modalWhileOpen || QApplication::activeModalWidget() != nullptr;
            ownerTookInput = ownerTookInput || (owner && withOwner && owner->isEnabled());
            ++ticksWhileOpen;
            if (ends == Ends::OwnerDestroyed && ticksWhileOpen == 5) delete std::exchange(owner, nullptr);
            if (ticksWhileOpen == 10) box->button(QMessageBox::Ok)->click();
        };

        const WindowHandle handle = withOwner ? HandleOf(owner) : WindowHandle();
        std::thread worker([&] {
            messages.Show(handle, "CANTWRITEDATA", "Error");
            returned = true;
        });
        const bool finished = ProcessEventsUntil([&] { return returned.load(); });
        if (!finished) messages.Shutdown();
        worker.join();

        ASSERT_TRUE(finished) << "the worker never came back";
        EXPECT_EQ(watcher.seen, 1);
        EXPECT_EQ(watcher.text, "CANTWRITEDATA");
        EXPECT_EQ(watcher.caption, "Error");
        EXPECT_EQ(ticksWhileOpen, 10);
        EXPECT_FALSE(returnedWhileOpen);
        EXPECT_FALSE(modalWhileOpen);
        EXPECT_FALSE(ownerTookInput);
        if (owner) {
            EXPECT_TRUE(owner->isEnabled());
        }
    }
}

TEST(QtMessageBoxTest, ShutdownReleasesAWaitingWorkerAndLaterWorkersReturnAtOnce)
{
    QtMessageBox messages;
    BoxWatcher watcher;
    std::atomic<bool> returned = false;
    int ticksWhileOpen = 0;
    watcher.onBox = [&](QMessageBox* box) {
        if (watcher.seen == 1) messages.Shutdown();
        else box->accept();  // a box that should not have been shown
    };
    watcher.whileOpen = [&](QMessageBox* box) {
        if (++ticksWhileOpen == 300) box->accept();  // give up rather than hang
    };

    std::thread waiting([&] {
        messages.Show(nullptr, "first", "Error");
        returned = true;
    });
    // Shutdown dismisses the box by itself.
    const bool released = ProcessEventsUntil([&] { return returned.load() && !VisibleMessageBox(); });
    if (!released) messages.Shutdown();
    waiting.join();
    ASSERT_TRUE(released);
    EXPECT_LT(ticksWhileOpen, 300);

    std::atomic<bool> laterReturned = false;
    std::thread later([&] {
        messages.Show(nullptr, "second", "Error");
        laterReturned = true;
    });
    // Without the GUI thread's events running, a later call can only return
    // if it does not wait for a box.
    const auto giveUp = std::chrono::steady_clock::now() + 2s;
    while (!laterReturned && std::chrono::steady_clock::now() < giveUp) std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(laterReturned) << "a later call waited for a box";
    ProcessEventsUntil([&] { return laterReturned.load(); });  // dismisses a box shown wrongly
    later.join();
    EXPECT_EQ(watcher.seen, 1);
}

}  // namespace
