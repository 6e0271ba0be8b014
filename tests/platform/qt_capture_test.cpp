// QtCapture on real Qt (offscreen) with the built-in test card: the driver
// list, the capture window, preview frames as the transmitter receives them,
// the format and source dialogs, and requests that must stay quiet.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QMediaDevices>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "qt_capture.hpp"
#include "window_registry.hpp"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Notice = std::pair<int, std::string>;

// Runs the GUI thread's events for time, or until done() holds (false if it
// never did).
bool RunEvents(std::chrono::milliseconds time, const std::function<bool()>& done = [] { return false; })
{
    const auto end = std::chrono::steady_clock::now() + time;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Answers the next modal dialog from inside its own event loop: sets the
// combo box named choice to index and accepts; rejects for a negative index.
class DialogAnswer {
public:
    DialogAnswer(const QString& choice, int index)
    {
        QObject::connect(&timer_, &QTimer::timeout, [this, choice, index] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible()) return;
            timer_.stop();
            title = dialog->windowTitle();
            auto* box = dialog->findChild<QComboBox*>(choice);
            if (box) items = box->count();
            if (box && index >= 0) box->setCurrentIndex(index);
            if (box && index >= 0) dialog->accept();
            else dialog->reject();
        });
        timer_.start(5);
    }

    QString title;
    int items = 0;

private:
    QTimer timer_;
};

struct Recorder : CaptureErrorHandler, CaptureStatusHandler, FrameHandler {
    std::int32_t CaptureErrorCallback(WindowHandle, std::int32_t number, std::string_view text) override
    {
        errors.emplace_back(number, text);
        return 1;
    }
    std::int32_t CaptureStatusCallback(WindowHandle, std::int32_t number, std::string_view text) override
    {
        statuses.emplace_back(number, text);
        return 1;
    }
    std::int32_t FrameCallback(WindowHandle window, std::span<const std::uint8_t> delivered) override
    {
        ++frames;
        frameWindow = window;
        frame.assign(delivered.begin(), delivered.end());
        if (onFrame) onFrame();
        return 1;
    }
    // Red, green, blue of the picture's pixel (x, y), y from the top.
    Bytes Rgb(int width, int x, int y) const
    {
        const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
        return at + 3 > frame.size() ? Bytes{} : Bytes(frame.begin() + at, frame.begin() + at + 3);
    }

    std::vector<Notice> errors;
    std::vector<Notice> statuses;
    int frames = 0;
    WindowHandle frameWindow = nullptr;
    Bytes frame;
    std::function<void()> onFrame;
};

const Bytes kRed = {255, 0, 0};

class QtCaptureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testCard = static_cast<int>(QMediaDevices::videoInputs().size());
        if (testCard >= CapturePlatform::kDriverCount) GTEST_SKIP() << "four cameras leave no slot for the test card";
    }

    // A capture window with the recorder installed, the test card connected
    // and preview on at 5 ms.
    WindowHandle Previewing()
    {
        WindowHandle window = capture.CreateCaptureWindow("Capture Window", HandleOf(&parent), 0, 0, 160, 120);
        capture.SetErrorCallback(window, &recorder);
        capture.SetStatusCallback(window, &recorder);
        capture.SetFrameCallback(window, &recorder);
        EXPECT_NE(capture.DriverConnect(window, testCard), 0);
        capture.SetPreviewRate(window, 5);
        capture.SetPreview(window, true);
        return window;
    }
    bool FramesArrive(int count)
    {
        const int wanted = recorder.frames + count;
        return RunEvents(3s, [&] { return recorder.frames >= wanted; });
    }

    int testCard = 0;
    QWidget parent;
    QtCapture capture;
    Recorder recorder;
};

TEST_F(QtCaptureTest, ListsTheTestCardAfterTheCamerasWithoutAWindow)
{
    EXPECT_EQ(capture.GetDriverDescription(testCard), "Test card (built in)");
    for (int index = testCard + 1; index <= CapturePlatform::kDriverCount; ++index) {
        EXPECT_EQ(capture.GetDriverDescription(index), std::nullopt) << index;
    }
    EXPECT_EQ(capture.GetDriverDescription(-1), std::nullopt);
}

TEST_F(QtCaptureTest, TheCaptureWindowIsAPlacedChildThatIsWindowTracks)
{
    EXPECT_EQ(capture.CreateCaptureWindow("Capture Window", nullptr, 0, 0, 160, 120), nullptr);
    WindowHandle window = capture.CreateCaptureWindow("Capture Window", HandleOf(&parent), 10, 20, 320, 240);
    auto* widget = WidgetOf(window);
    ASSERT_TRUE(capture.IsWindow(window));
    EXPECT_FALSE(capture.IsWindow(nullptr));
    EXPECT_FALSE(capture.IsWindow(HandleOf(&parent)));
    EXPECT_EQ(widget->parentWidget(), &parent);
    EXPECT_EQ(widget->windowTitle(), "Capture Window");
    EXPECT_FALSE(widget->isHidden());
    EXPECT_EQ(widget->geometry(), QRect(10, 20, 320, 240));
    capture.MoveWindow(window, 30, 40, 160, 120);
    EXPECT_EQ(widget->geometry(), QRect(30, 40, 160, 120));
    capture.ResizeWindow(window, 200, 150);
    EXPECT_EQ(widget->geometry(), QRect(30, 40, 200, 150));

    // A second window replaces the first (and may reuse its address, so the
    // old handle is not asked about).
    QPointer<QWidget> first = widget;
    window = capture.CreateCaptureWindow("Capture Window", HandleOf(&parent), 0, 0, 160, 120);
    EXPECT_TRUE(first.isNull());
    capture.DestroyWindow(window);
    EXPECT_FALSE(capture.IsWindow(window));
    EXPECT_TRUE(parent.findChildren<QWidget*>().isEmpty());

    auto* other = new QWidget;
    window = capture.CreateCaptureWindow("Capture Window", HandleOf(other), 0, 0, 160, 120);
    delete other;
    EXPECT_FALSE(capture.IsWindow(window));
}

TEST_F(QtCaptureTest, RequestsToAGoneWindowAreQuiet)
{
    WindowHandle window = Previewing();
    ASSERT_TRUE(FramesArrive(1));
    capture.DestroyWindow(window);
    recorder = Recorder();

    EXPECT_EQ(capture.DriverConnect(window, testCard), 0);
    EXPECT_EQ(capture.DialogVideoFormat(window), 0);
    capture.DialogVideoSource(window);
    capture.SetPreview(window, true);
    capture.MoveWindow(window, 0, 0, 10, 10);
    capture.PostPaletteChange(window);
    capture.DestroyWindow(window);
    CaptureStatus status{7, 7, true, true};
    capture.GetStatus(window, status);
    EXPECT_EQ(status.imageWidth, 7);
    RunEvents(40ms);
    EXPECT_EQ(recorder.frames, 0);

    // The callbacks went with the window: a new one starts without them.
    window = capture.CreateCaptureWindow("Capture Window", HandleOf(&parent), 0, 0, 160, 120);
    EXPECT_NE(capture.DriverConnect(window, testCard), 0);
    capture.SetPreview(window, true);
    RunEvents(40ms);
    EXPECT_EQ(recorder.frames, 0);
    EXPECT_TRUE(recorder.statuses.empty());
}

TEST_F(QtCaptureTest, CapsStatusAndConnectionNotices)
{
    WindowHandle window = capture.CreateCaptureWindow("Capture Window", HandleOf(&parent), 0, 0, 160, 120);
    capture.SetErrorCallback(window, &recorder);
    capture.SetStatusCallback(window, &recorder);
    CaptureDriverCaps caps{true, true, true, true};
    capture.DriverGetCaps(window, caps);
    EXPECT_FALSE(caps.hasOverlay || caps.hasFormatDialog || caps.hasSourceDialog || caps.hasDisplayDialog);

    ASSERT_NE(capture.DriverConnect(window, testCard), 0);
    EXPECT_EQ(recorder.statuses, (std::vector<Notice>{{1, "connected: Test card (built in)"}}));
    capture.DriverGetCaps(window, caps);
    EXPECT_FALSE(caps.hasOverlay);
    EXPECT_TRUE(caps.hasFormatDialog);
    EXPECT_TRUE(caps.hasSourceDialog);
    EXPECT_FALSE(caps.hasDisplayDialog);
    CaptureStatus status{};
    capture.SetOverlay(window, true);
    capture.GetStatus(window, status);
    EXPECT_EQ(status.imageWidth, 160);
    EXPECT_EQ(status.imageHeight, 120);
    EXPECT_FALSE(status.previewOn);
    EXPECT_FALSE(status.overlayOn);

    // An empty slot is an error and lets the card go.
    EXPECT_EQ(capture.DriverConnect(window, CapturePlatform::kDriverCount), 0);
    EXPECT_EQ(recorder.errors, (std::vector<Notice>{{1, "no capture driver at index 4"}}));
    capture.DriverGetCaps(window, caps);
    EXPECT_FALSE(caps.hasFormatDialog);

    capture.SetStatusCallback(window, nullptr);
    capture.SetErrorCallback(window, nullptr);
    EXPECT_NE(capture.DriverConnect(window, testCard), 0);
    EXPECT_EQ(capture.DriverConnect(window, -1), 0);
    EXPECT_EQ(recorder.statuses.size(), 1u);
    EXPECT_EQ(recorder.errors.size(), 1u);
}

TEST_F(QtCaptureTest, PreviewDeliversTheCardTopDownInRedGreenBlue)
{
    WindowHandle window = Previewing();
    ASSERT_TRUE(FramesArrive(2));
    EXPECT_EQ(recorder.frameWindow, window);
    ASSERT_EQ(recorder.frame.size(), 57600u);
    // Colour bars: red from x 100 to 119 over the top 90 rows, blue after.
    EXPECT_EQ(recorder.Rgb(160, 105, 0), kRed);
    EXPECT_EQ(recorder.Rgb(160, 119, 89), kRed);
    EXPECT_EQ(recorder.Rgb(160, 120, 0), (Bytes{0, 0, 255}));
    EXPECT_EQ(recorder.Rgb(160, 159, 119), (Bytes{24, 24, 24}));
    CaptureStatus status{};
    capture.GetStatus(window, status);
    EXPECT_TRUE(status.previewOn);

    // The window shows the frame scaled to its size.
    auto* widget = WidgetOf(window);
    capture.ResizeWindow(window, 320, 240);
    EXPECT_EQ(widget->grab().toImage().pixelColor(215, 10), QColor(255, 0, 0));

    capture.SetPreview(window, false);
    const int frames = recorder.frames;
    RunEvents(40ms);
    capture.SetFrameCallback(window, nullptr);
    capture.SetPreview(window, true);
    RunEvents(40ms);
    EXPECT_EQ(recorder.frames, frames);
}

TEST_F(QtCaptureTest, TheFormatAndSourceDialogsChangeTheFrames)
{
    WindowHandle window = Previewing();
    {
        DialogAnswer cancel("frameSize", -1);
        EXPECT_EQ(capture.DialogVideoFormat(window), 0);
        EXPECT_EQ(cancel.items, 2);
    }
    {
        DialogAnswer large("frameSize", 1);
        EXPECT_NE(capture.DialogVideoFormat(window), 0);
        EXPECT_EQ(large.title, "Video Format");
    }
    CaptureStatus status{};
    capture.GetStatus(window, status);
    EXPECT_EQ(status.imageWidth, 320);
    EXPECT_EQ(status.imageHeight, 240);
    EXPECT_EQ(recorder.statuses.back(), Notice(2, "format 320x240"));
    ASSERT_TRUE(RunEvents(3s, [&] { return recorder.frame.size() == 230400u; }));
    EXPECT_EQ(recorder.Rgb(320, 210, 0), kRed);
    EXPECT_EQ(recorder.Rgb(320, 239, 179), kRed);

    {
        DialogAnswer checkerboard("pattern", 2);
        capture.DialogVideoSource(window);
        EXPECT_EQ(checkerboard.items, 3);
    }
    ASSERT_TRUE(RunEvents(3s, [&] { return recorder.Rgb(320, 30, 10) == Bytes{0, 0, 0}; }));
    EXPECT_EQ(recorder.Rgb(320, 10, 10), (Bytes{255, 255, 255}));
}

TEST_F(QtCaptureTest, AFrameCallbackIsNotReenteredAndMayDestroyTheWindow)
{
    WindowHandle window = Previewing();
    int depth = 0;
    int deepest = 0;
    recorder.onFrame = [&] {
        deepest = std::max(deepest, ++depth);
        if (recorder.frames == 1) RunEvents(40ms);  // as a message box would
        if (recorder.frames == 3) capture.DestroyWindow(window);
        --depth;
    };
    ASSERT_TRUE(FramesArrive(3));
    RunEvents(20ms);
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(recorder.frames, 3);
    EXPECT_FALSE(capture.IsWindow(window));
}

}  // namespace
