// The main window's menu, the about box and the picture window, offscreen.

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include "about_box.hpp"
#include "main_window.hpp"
#include "graph_window.hpp"
#include "support/qt_test_support.hpp"
#include "command_codes.hpp"
#include "telvane_menu.hpp"
#include "fakes/recording_message_box.hpp"

using namespace std::chrono_literals;

namespace {

// Each action as its text ("-" for a separator), "*" appended when checked.
QStringList Entries(const QMenu* menu)
{
    QStringList entries;
    for (const QAction* action : menu->actions()) {
        QString entry = action->isSeparator() ? "-" : action->text();
        if (action->isChecked()) entry += "*";
        entries << entry;
    }
    return entries;
}

TEST(MainWindowTest, TheMenuIsBuiltAsTabledWithItsStartingChecks)
{
    RecordingMessageBox messages;
    QtMainWindow window(messages, kTelvaneMenu);
    EXPECT_EQ(window.windowTitle(), "Telvane App by QUOLTA");

    QStringList top;
    for (const QAction* action : window.menuBar()->actions()) top << action->text();
    EXPECT_EQ(top, (QStringList{"&File", "&Options", "&Help"}));

    EXPECT_EQ(Entries(window.Popup(0)), (QStringList{"E&xit"}));
    EXPECT_EQ(Entries(window.Popup(1)),
              (QStringList{"&Preview*", "&Overlay", "-", "Video &Format...", "Video &Source...", "Video &Display...",
                           "-", "Send NBTV", "RX*", "-", "TX_Port", "Baudrate", "Robust receiver", "-"}));
    EXPECT_EQ(Entries(window.Popup(2)), (QStringList{"&About..."}));
    EXPECT_EQ(Entries(window.Popup(1)->actions()[10]->menu()), (QStringList{"COM1", "COM2", "none*"}));
    EXPECT_EQ(Entries(window.Popup(1)->actions()[11]->menu()), (QStringList{"5500 bps*", "8250 bps", "11000 bps"}));

    // Items are found by their command codes.
    for (std::int32_t code : {104, 131, 132, 134, 135, 136, 140, 40015, 40009, 40010, 40011, 40017, 40018, 40019, 40020, 191}) {
        EXPECT_NE(window.Item(code), nullptr) << code;
    }
    EXPECT_EQ(window.Item(150), nullptr);
}

TEST(MainWindowTest, AppendedItemsGoAfterTheLastSeparatorAndChecksStayWithTheLogic)
{
    RecordingMessageBox messages;
    QtMainWindow window(messages, kTelvaneMenu);
    window.AppendMenuItem(1, 150, "&0 Camera");
    window.AppendMenuItem(1, 152, "&2 Other");
    EXPECT_EQ(Entries(window.Popup(1)).mid(13), (QStringList{"-", "&0 Camera", "&2 Other"}));

    // Without a shell to act on it, a click changes no check mark.
    window.Item(Id(Command::Receive))->trigger();
    window.Item(Id(Command::SendNbtv))->trigger();
    EXPECT_TRUE(window.Item(Id(Command::Receive))->isChecked());
    EXPECT_FALSE(window.Item(Id(Command::SendNbtv))->isChecked());

    window.EnableMenuItem(Id(Command::Overlay), false);
    EXPECT_FALSE(window.Item(Id(Command::Overlay))->isEnabled());
    window.CheckMenuItem(152, true);
    EXPECT_TRUE(window.Item(152)->isChecked());
    // Unchecked, an item shows no mark at all, not an empty check box.
    window.CheckMenuItem(152, false);
    EXPECT_FALSE(window.Item(152)->isCheckable());
    EXPECT_FALSE(window.Item(Id(Command::Overlay))->isCheckable());
    window.SetTitle("dc-offset 128, max 128, min 128");
    EXPECT_EQ(window.windowTitle(), "dc-offset 128, max 128, min 128");
}

TEST(AboutBoxTest, ShowsItsTextsAndOkEndsItWithOne)
{
    AboutBox box(nullptr);
    EXPECT_EQ(box.windowTitle(), "QUOLTA");
    EXPECT_EQ(box.Texts(), (QStringList{"QUOLTA ", "video over sstv test", "Use 160 * 120 24 Bit Color or Crash"}));
    EXPECT_EQ(box.OkButton()->text(), "OK");

    WhenModalShows([](QDialog& dialog) { static_cast<AboutBox&>(dialog).OkButton()->click(); });
    EXPECT_EQ(box.exec(), 1);
    WhenModalShows([](QDialog& dialog) { dialog.reject(); });
    EXPECT_EQ(box.exec(), 0);
}

TEST(AboutBoxTest, OpensAtItsPlaceInTheOwnersClientAreaNotOverTheMenu)
{
    RecordingMessageBox messages;
    QtMainWindow window(messages, kTelvaneMenu);
    window.show();
    AboutBox box(&window);
    WhenModalShows([](QDialog& dialog) { dialog.accept(); });
    box.exec();
    EXPECT_EQ(box.pos(), window.Client()->mapToGlobal(QPoint(9, 29)));
}

class PictureWindowTest : public ::testing::Test {
protected:
    QWidget parent;
    PictureView view;
    GraphWindow graph{&parent, view};

    void SetUp() override
    {
        parent.resize(400, 200);
        parent.show();
        RunEvents(50ms);
    }
};

TEST_F(PictureWindowTest, IsBlackUntilTheSixtiethLineRepaintsIt)
{
    EXPECT_EQ(graph.geometry(), QRect(180, 10, 160, 120));
    EXPECT_EQ(graph.windowTitle(), "graph");
    for (int y = 0; y < graph.Client().height(); ++y)
        for (int x = 0; x < graph.Client().width(); ++x) ASSERT_EQ(graph.Client().pixel(x, y), 0xFF000000u);

    PictureLine grey;
    grey.fill(128);
    for (int row = 0; row < kPictureHeight - 1; ++row) view.StoreLine(grey);
    EXPECT_EQ(graph.Client().pixel(0, 0), 0xFF000000u);  // not yet repainted
    view.StoreLine(grey);
    // Repainted before StoreLine returned, every pixel of the client area.
    for (int y = 0; y < graph.Client().height(); ++y)
        for (int x = 0; x < graph.Client().width(); ++x) ASSERT_EQ(graph.Client().pixel(x, y), 0xFF808080u);
}

TEST_F(PictureWindowTest, EachValueIsATwoByTwoBlockOfItsGreyAndTheLastColumnAndRowAreClipped)
{
    ASSERT_EQ(graph.Client().size(), QSize(158, 118));
    // Every value from 0 to 255 occurs, in blocks that differ from their neighbours.
    const auto value = [](int row, int column) { return (row * kPictureWidth + column) & 0xFF; };
    for (int row = 0; row < kPictureHeight; ++row) {
        PictureLine line;
        for (int column = 0; column < kPictureWidth; ++column) {
            line[column] = static_cast<std::uint8_t>(value(row, column));
        }
        view.StoreLine(line);
    }
    // Column 79 would be pixels 158-159 and row 59 pixels 118-119.
    for (int y = 0; y < 118; ++y)
        for (int x = 0; x < 158; ++x)
            ASSERT_EQ(graph.Client().pixel(x, y), 0xFF000000u | (value(y / 2, x / 2) * 0x010101u)) << x << "," << y;
}

}  // namespace
