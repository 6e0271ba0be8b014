#pragma once
// The main window as a Qt widget: the menu built from a menu table, menu
// items addressed by command code, the title, the timer, and the window's
// events handed to the shell. Its central widget is the client
// area that the capture and picture windows sit in.

#include <map>
#include <span>

#include <QMainWindow>

#include "menu_entry.hpp"
#include "ui.hpp"
#include "window_events.hpp"
#include "window_system.hpp"

class QAction;
class QMenu;

class QtMainWindow : public QMainWindow, public Ui, public WindowSystem {
public:
    // Builds the window and its menu from the table; boxes go through messages.
    QtMainWindow(MessageBox& messages, std::span<const MenuEntry> menu);
    ~QtMainWindow() override;

    // The creation sequence, with the shell that handles this window from now on.
    void Create(WindowEvents& shell);

    // True once destroyed by "E&xit" or the close sequence.
    bool Destroyed() const { return destroyed_; }

    // The client area.
    QWidget* Client() const { return centralWidget(); }
    // The menu item of a command, or null.
    QAction* Item(std::int32_t command) const;
    QMenu* Popup(int position) const;

    // Ui
    void CheckMenuItem(std::int32_t command, bool checked) override;
    void EnableMenuItem(std::int32_t command, bool enabled) override;
    void AppendMenuItem(int popup, std::int32_t command, std::string_view text) override;
    void DrawMenuBar() override;
    void SetTitle(std::string_view title) override;
    void Show(WindowHandle owner, std::string_view text, std::string_view caption) override;
    void ShowExclamation(WindowHandle owner, std::string_view text, std::string_view caption) override;

    // WindowSystem
    void SetTimer(WindowHandle window, int id, int milliseconds) override;
    void KillTimer(WindowHandle window, int id) override;
    void DestroyWindow(WindowHandle window) override;
    void PostQuitMessage(int exitCode) override;
    void RunAboutBox(WindowHandle owner) override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void BuildMenu(std::span<const MenuEntry> menu);
    QAction* AddItem(QMenu* menu, const char* text, std::int32_t command, bool checked);
    void Command(std::int32_t command);

    MessageBox& messages_;
    WindowEvents* shell_ = nullptr;
    std::map<std::int32_t, QAction*> items_;
    std::map<std::int32_t, bool> checked_;  // the check marks as set, which a click does not change
    std::map<int, QMenu*> popups_;          // top-level pop-ups by position
    std::map<int, int> timers_;             // our timer id -> Qt's
    bool destroyed_ = false;
    bool outerSizeSet_ = false;
};
