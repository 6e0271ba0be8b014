// Capture control against a fake capture platform: driver listing and
// connection, the refresh, driver changes, dialogs, the callbacks and the
// teardown, with the order of every request checked where it matters.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture_control.hpp"
#include "capture_menu_items.hpp"
#include "command_codes.hpp"
#include "fakes/fake_capture.hpp"
#include "fakes/fake_ui.hpp"

namespace {

struct NoFrames : FrameHandler {
    std::int32_t FrameCallback(WindowHandle, std::span<const std::uint8_t>) override { return 1; }
};

using Calls = std::vector<std::string>;

class CaptureControlTest : public ::testing::Test {
protected:
    CaptureControlTest() { ui.log = &log; }

    FakeCapturePlatform::Driver Camera(std::string name, bool formatDialog = true)
    {
        FakeCapturePlatform::Driver driver;
        driver.name = std::move(name);
        driver.caps.hasFormatDialog = formatDialog;
        return driver;
    }

    // The main window's creation sequence, then its handle is recorded.
    void CreateAsMainWindowDoes()
    {
        control.CaptureCreate(mainWindow);
        ui.DrawMenuBar();
        control.CapturePlace();
        control.CaptureRefresh(mainWindow, control.currentDriver);
        shell.mainWindow = mainWindow;
    }

    WindowHandle mainWindow{1};
    CallLog log;
    FakeCapturePlatform platform{log};
    FakeUi ui;
    ShellState shell;
    NoFrames frames;
    CaptureMenuItems menu{ui};
    CaptureControl control{platform, menu, ui, ui, shell, frames};
};

TEST_F(CaptureControlTest, ListsNamedDriversAndConnectsOnlyTheFirstFound)
{
    platform.drivers[0] = Camera("Cam A");
    platform.drivers[2] = Camera("Cam C");
    control.CaptureCreate(mainWindow);

    EXPECT_EQ(log.Calls(), (Calls{"create Capture Window 0,0 320x240", "set error", "set status", "set frame",
                                  "append 150 &0 Cam A", "connect 0", "check 150", "append 152 &2 Cam C"}));
    ASSERT_EQ(ui.appended.size(), 2u);
    EXPECT_EQ(ui.appended[0].popup, 1);
    EXPECT_EQ(platform.createdParent, mainWindow);
    EXPECT_EQ(control.currentDriver, 0);
    EXPECT_FALSE(platform.askedBeyondLast);
    EXPECT_EQ(platform.descriptionQueries, 4);
}

TEST_F(CaptureControlTest, ALoneDriverAtIndexThreeIsConnectedAndChecked)
{
    platform.drivers[3] = Camera("Last");
    CreateAsMainWindowDoes();
    EXPECT_EQ(control.currentDriver, 3);
    EXPECT_TRUE(ui.checked[153]);
    EXPECT_FALSE(ui.checked.contains(150));
}

TEST_F(CaptureControlTest, ARefusingFirstDriverIsTheOnlyOneTried)
{
    platform.drivers[1] = Camera("Refuses");
    platform.drivers[1]->accepts = false;
    platform.drivers[2] = Camera("Would accept");
    CreateAsMainWindowDoes();

    EXPECT_TRUE(log.Contains("connect 1"));
    EXPECT_FALSE(log.Contains("connect 2"));
    EXPECT_EQ(control.currentDriver, 0);
    // The refresh checks the item of driver 0, which does not exist here.
    EXPECT_TRUE(ui.checked[150]);
    EXPECT_FALSE(ui.checked[151]);
}

TEST_F(CaptureControlTest, TheRefreshSetsTheMenuFromTheDriverAndStartsPreview)
{
    platform.drivers[0] = Camera("Cam");
    platform.drivers[0]->caps = {false, true, true, false};
    platform.drivers[0]->width = 320;
    platform.drivers[0]->height = 240;
    control.CaptureCreate(mainWindow);
    log.Clear();
    control.CapturePlace();
    control.CaptureRefresh(mainWindow, control.currentDriver);

    EXPECT_EQ(log.Calls(), (Calls{"move 10,10 160x120", "get caps", "gray 132", "enable 134", "enable 135", "gray 136",
                                  "get status", "resize 320x240", "preview rate 300", "preview on", "check 150"}));
    // Placement came first, so the window keeps the image size for now.
    EXPECT_EQ(platform.geometry, (std::array<int, 4>{10, 10, 320, 240}));
}

TEST_F(CaptureControlTest, WithoutDriversOrWindowNothingIsConnectedAndTheItemsAreGray)
{
    for (bool withWindow : {true, false}) {
        SCOPED_TRACE(withWindow);
        log.Clear();
        platform.canCreate = withWindow;
        if (!withWindow) platform.drivers[0] = Camera("Cam");
        ShellState freshShell;
        CaptureControl fresh(platform, menu, ui, ui, freshShell, frames);
        fresh.CaptureCreate(mainWindow);
        fresh.CaptureRefresh(mainWindow, fresh.currentDriver);

        for (const auto& call : log.Calls()) {
            EXPECT_EQ(call.find("connect"), std::string::npos) << call;
            if (!withWindow) {
                EXPECT_EQ(call.find("preview"), std::string::npos) << call;
            }
        }
        for (int item : {Id(Command::Overlay), Id(Command::VideoFormat), Id(Command::VideoSource), Id(Command::VideoDisplay)}) {
            EXPECT_FALSE(ui.enabled.at(item)) << item;
        }
        EXPECT_EQ(ui.appended.size(), withWindow ? 0u : 1u);
        EXPECT_EQ(fresh.currentDriver, 0);
    }
}

TEST_F(CaptureControlTest, ChoosingTheSelectedDriverOnlyClearsTheChecks)
{
    platform.drivers[0] = Camera("Cam");
    CreateAsMainWindowDoes();
    log.Clear();
    control.CaptureSelectDriver(mainWindow, 0);
    EXPECT_EQ(log.Calls(), (Calls{"uncheck 150", "uncheck 151", "uncheck 152", "uncheck 153"}));
}

TEST_F(CaptureControlTest, ChoosingAnotherDriverConnectsRefreshesAndPlacesIt)
{
    platform.drivers[0] = Camera("Cam", true);
    platform.drivers[1] = Camera("Card", false);
    platform.drivers[1]->caps.hasSourceDialog = true;
    platform.drivers[1]->width = 320;
    platform.drivers[1]->height = 240;
    CreateAsMainWindowDoes();
    EXPECT_TRUE(ui.enabled[Id(Command::VideoFormat)]);
    log.Clear();

    control.CaptureSelectDriver(mainWindow, 1);
    EXPECT_EQ(log.Calls(),
              (Calls{"uncheck 150", "uncheck 151", "uncheck 152", "uncheck 153", "connect 1", "draw menu bar",
                     "get caps", "gray 132", "gray 134", "enable 135", "gray 136", "get status", "resize 320x240",
                     "preview rate 300", "preview on", "check 151", "move 10,10 160x120"}));
    EXPECT_EQ(control.currentDriver, 1);
    EXPECT_EQ(platform.geometry, (std::array<int, 4>{10, 10, 160, 120}));
}

TEST_F(CaptureControlTest, ARefusingDriverStaysSelected)
{
    platform.drivers[0] = Camera("Cam");
    platform.drivers[1] = Camera("Refuses");
    platform.drivers[1]->accepts = false;
    CreateAsMainWindowDoes();
    control.CaptureSelectDriver(mainWindow, 1);
    EXPECT_EQ(control.currentDriver, 1);
    EXPECT_TRUE(ui.checked[151]);
}

TEST_F(CaptureControlTest, AnAcceptedFormatDialogResizesAndPlacesButLeavesTheMenu)
{
    platform.drivers[0] = Camera("Cam");
    CreateAsMainWindowDoes();
    platform.formatDialogSize = {{320, 240}};
    log.Clear();
    control.CaptureFormatDialog();
    EXPECT_EQ(log.Calls(), (Calls{"format dialog", "get status", "resize 320x240", "move 10,10 160x120"}));

    platform.formatDialogAccepts = false;
    log.Clear();
    control.CaptureFormatDialog();
    EXPECT_EQ(log.Calls(), (Calls{"format dialog"}));
}

TEST_F(CaptureControlTest, DialogsTheDriverLacksAreNeverOpened)
{
    platform.drivers[0] = Camera("Cam", false);
    CreateAsMainWindowDoes();
    log.Clear();
    control.CaptureFormatDialog();
    control.CaptureSourceDialog();
    control.CaptureDisplayDialog();
    EXPECT_TRUE(log.Calls().empty());

    platform.drivers[0]->caps = {true, true, true, true};
    control.CaptureSelectDriver(mainWindow, 1);  // away and back to refresh the caps
    control.CaptureSelectDriver(mainWindow, 0);
    log.Clear();
    control.CaptureSourceDialog();
    control.CaptureDisplayDialog();
    EXPECT_EQ(log.Calls(), (Calls{"source dialog", "display dialog"}));
}

TEST_F(CaptureControlTest, PreviewAndOverlayToggleFromAFreshStatusAndTheMenuFollowsWhenOpened)
{
    platform.drivers[0] = Camera("Cam");
    CreateAsMainWindowDoes();
    log.Clear();
    control.CaptureTogglePreview();
    control.CaptureToggleOverlay();
    EXPECT_EQ(log.Calls(), (Calls{"get status", "preview off", "get status", "overlay on"}));
    EXPECT_FALSE(ui.checked.contains(Id(Command::Preview)));

    control.CaptureInitMenu(menu);
    EXPECT_FALSE(ui.checked[Id(Command::Preview)]);
    EXPECT_TRUE(ui.checked[Id(Command::Overlay)]);
}

TEST_F(CaptureControlTest, StatusLinesAreCountedFromTheStartButShownOnlyOnceTheMainWindowExists)
{
    platform.drivers[0] = Camera("Cam");
    control.CaptureCreate(mainWindow);
    EXPECT_EQ(platform.FireStatus(1, "connecting"), 0);
    EXPECT_EQ(platform.FireStatus(2, "connected"), 0);
    EXPECT_TRUE(ui.titles.empty());
    shell.mainWindow = mainWindow;

    EXPECT_EQ(platform.FireStatus(7, "previewing"), 1);
    EXPECT_EQ(ui.titles.back(), "Status# 7: Call 3: previewing");
    EXPECT_EQ(control.statusCallCount, 3);

    // A long platform text is cut to the 200-character buffer.
    EXPECT_EQ(platform.FireStatus(8, std::string(500, 'x')), 1);
    EXPECT_EQ(ui.titles.back().size(), ShellState::kStatusTextLimit);
    EXPECT_EQ(ui.titles.back().substr(0, 19), "Status# 8: Call 4: ");
}

TEST_F(CaptureControlTest, ErrorsShowAnExclamationBoxOwnedByTheCaptureWindow)
{
    platform.drivers[0] = Camera("Cam");
    control.CaptureCreate(mainWindow);
    EXPECT_EQ(platform.FireError(5, "too early"), 0);
    shell.mainWindow = mainWindow;

    EXPECT_EQ(platform.FireError(0, "cleared"), 1);
    EXPECT_TRUE(ui.Boxes().empty());

    EXPECT_EQ(platform.FireError(1005, "camera gone"), 1);
    const auto boxes = ui.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "camera gone");
    EXPECT_EQ(boxes[0].caption, "Error# 1005");
    EXPECT_EQ(boxes[0].owner, platform.Window());
    EXPECT_TRUE(boxes[0].exclamation);
}

TEST_F(CaptureControlTest, TeardownRemovesTheCallbacksBeforeDestroyingTheWindow)
{
    platform.drivers[0] = Camera("Cam");
    CreateAsMainWindowDoes();
    log.Clear();
    control.CaptureDestroy();
    EXPECT_EQ(log.Calls(), (Calls{"clear error", "clear status", "clear frame", "clear video stream", "destroy"}));
    EXPECT_EQ(platform.FireError(3, "after"), -1);
    EXPECT_EQ(platform.FireStatus(3, "after"), -1);
    EXPECT_EQ(platform.FireFrame({}), -1);

    // Nothing is asked of a window that is gone.
    log.Clear();
    control.CaptureTogglePreview();
    control.CaptureFormatDialog();
    control.CaptureInitMenu(menu);
    for (const auto& call : log.Calls()) EXPECT_EQ(call.rfind("get", 0), std::string::npos) << call;
}

}  // namespace
