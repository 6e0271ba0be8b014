// The whole program in the test process with its real Qt backends: the
// test card as driver 0, the sound server's loopback as sound card and port
// "none". It transmits its own test card and receives it back.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <span>
#include <vector>

#include <QAction>
#include <QGuiApplication>
#include <QScreen>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>

#include "telvane_app.hpp"
#include "support/qt_test_support.hpp"
#include "command_codes.hpp"
#include "support/recorded_rows.hpp"
#include "support/working_directory.hpp"

extern std::string loopbackProblem;  // test_main.cpp

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

bool RowsMatch(const Picture& picture, const std::vector<PictureLine>& rows)
{
    for (std::size_t row = 0; row < rows.size(); ++row) {
        if (picture[row] != rows[row]) return false;
    }
    return true;
}

// Whether pixel (1, 1) of each 2 x 2 block of a client area shows its value.
bool Shows(const QImage& client, const std::vector<PictureLine>& rows)
{
    for (int row = 0; row < kPictureHeight - 1; ++row) {
        for (int column = 0; column < kPictureWidth - 1; ++column) {
            const std::uint32_t v = rows[row][column];
            if ((client.pixel(2 * column + 1, 2 * row + 1) & 0xFFFFFFu) != ((v << 16) | (v << 8) | v)) return false;
        }
    }
    return true;
}

class TelvaneAppTest : public ::testing::Test {
protected:
    TemporaryWorkingDirectory directory{"telvane-app"};
};

TEST_F(TelvaneAppTest, StartsOnTheTestCardWithTheLevelLineInTheTitle)
{
    TelvaneApp app;
    app.Start();
    QtMainWindow& window = app.MainWindow();

    QAction* card = window.Item(Id(Command::FirstDriver));
    ASSERT_NE(card, nullptr);
    EXPECT_TRUE(card->text().startsWith("&0 Test card")) << card->text().toStdString();
    EXPECT_TRUE(card->isChecked());
    EXPECT_EQ(window.Item(Id(Command::FirstDriver) + 1), nullptr);
    EXPECT_FALSE(window.Item(Id(Command::Overlay))->isEnabled());
    EXPECT_TRUE(window.Item(Id(Command::VideoFormat))->isEnabled());

    EXPECT_TRUE(WaitUntil([&] { return window.windowTitle().startsWith("dc-offset "); }, 2s))
        << window.windowTitle().toStdString();

    // Frames flow, but only "Send NBTV" lets them reach the transmitter.
    RunEvents(700ms);
    EXPECT_EQ(app.Frames().reducedPicture, Picture{});

    // The bit rate items, through the real menu.
    window.Item(Id(Command::Baud11000))->trigger();
    EXPECT_EQ(app.BitRate().load(), 2);
    EXPECT_TRUE(window.Item(Id(Command::Baud11000))->isChecked());
    EXPECT_FALSE(window.Item(Id(Command::Baud5500))->isChecked());

    // The close box runs the close sequence, which takes the capture window down.
    window.close();
    RunEvents(50ms);
    EXPECT_EQ(app.Capture().captureWindow, nullptr);
}

// Turns "Send NBTV" on and waits until the picture window shows rows 0 to
// 58 of the second transmission, as played from "nbtv02.wav"; those rows.
// (The first goes out at once, before any frame was handed off: black.)
std::vector<PictureLine> TransmitAndReceive(TelvaneApp& app)
{
    // A new recording stream takes a moment before the server delivers to it.
    RunEvents(3s);
    app.MainWindow().Item(Id(Command::SendNbtv))->trigger();
    EXPECT_TRUE(app.MainWindow().Item(Id(Command::SendNbtv))->isChecked());
    EXPECT_TRUE(WaitUntil([] { return fs::exists("nbtv03.wav"); }, 45s)) << "no third transmission";
    EXPECT_TRUE(fs::exists("nbtv01.wav"));
    EXPECT_TRUE(fs::exists("nbtv02.wav"));

    // The test card's frames reached the hand-off and went out.
    const auto sent = RowsOfTransmissionFile("nbtv02.wav");
    EXPECT_NE(app.Frames().reducedPicture, Picture{});
    EXPECT_NE(sent.front(), sent.back()) << "nbtv02.wav does not carry the test card";

    // A transmission ends when the next begins; the picture window is
    // repainted then.
    EXPECT_TRUE(WaitUntil([&] { return RowsMatch(app.ReceivedPicture().receivedPicture, sent); }, 15s))
        << "rows 0 to 58 of nbtv02.wav did not arrive";
    // Stored rows are shown at the repaint after the 60th.
    EXPECT_TRUE(WaitUntil([&] { return Shows(app.PictureWindow()->Client(), sent); }, 10s))
        << "the picture window was not repainted with them";
    return sent;
}

TEST_F(TelvaneAppTest, ReceivesItsOwnTransmissionsFromTheLoopback)
{
    if (!loopbackProblem.empty()) GTEST_SKIP() << loopbackProblem;
    TelvaneApp app;
    app.Start();
    TransmitAndReceive(app);
    app.MainWindow().Item(Id(Command::SendNbtv))->trigger();
}

// A transmit-failure box leaves the program usable: the menu still turns
// "Send NBTV" off, and closing the program while the box shows dismisses it
// and ends without waiting for anyone.
TEST_F(TelvaneAppTest, ATransmitFailureBoxNeitherFreezesTheProgramNorHoldsUpItsEnd)
{
    fs::create_directory("nbtv01.wav");  // cannot be opened as a file
    auto app = std::make_unique<TelvaneApp>();
    app->Start();
    QtMainWindow& window = app->MainWindow();
    QAction* send = window.Item(Id(Command::SendNbtv));
    send->trigger();

    QMessageBox* box = nullptr;
    EXPECT_TRUE(WaitUntil([&] { return (box = VisibleMessageBox()) != nullptr; }, 10s));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "CANTOPENFILE");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    send->trigger();
    EXPECT_FALSE(send->isChecked());

    const QPointer<QMessageBox> shown = box;
    window.close();
    app.reset();
    EXPECT_TRUE(shown.isNull());
}

// Under a real X server (ctest runs it as TelvaneScreenshot, in Xvfb): what
// the screen shows in the picture window is the received picture. With
// TELVANE_SCREENSHOT set, the main window's picture is saved there.
TEST_F(TelvaneAppTest, TheScreenShowsTheReceivedPicture)
{
    if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs an X server; ctest runs it in Xvfb";
    if (!loopbackProblem.empty()) GTEST_SKIP() << loopbackProblem;
    TelvaneApp app;
    app.Start();
    const auto sent = TransmitAndReceive(app);
    RunEvents(300ms);

    GraphWindow* graph = app.PictureWindow();
    const QPoint origin = graph->mapToGlobal(QPoint(GraphWindow::kBorder, GraphWindow::kBorder));
    const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    EXPECT_TRUE(Shows(screen.copy(origin.x(), origin.y(), 158, 118), sent));

    if (const char* path = std::getenv("TELVANE_SCREENSHOT")) {
        QtMainWindow& window = app.MainWindow();
        const QRect frame = window.frameGeometry();
        EXPECT_TRUE(screen.copy(frame).save(path)) << path;
    }
    app.MainWindow().Item(Id(Command::SendNbtv))->trigger();
}

}  // namespace
