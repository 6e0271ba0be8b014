#include "main_window.hpp"

#include <utility>
#include <vector>

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTimer>
#include <QWindow>

#include "about_box.hpp"
#include "window_registry.hpp"

namespace {

// The window's outer frame, title bar and borders included.
constexpr int kLeft = 10;
constexpr int kTop = 10;
constexpr int kWidth = 358;
constexpr int kHeight = 186;


QString FromView(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

QtMainWindow::QtMainWindow(MessageBox& messages, std::span<const MenuEntry> menu) : messages_(messages)
{
    setWindowTitle("Telvane App by QUOLTA");
    setWindowIcon(QIcon(":/telvane/telvane_icon.png"));
    auto* client = new QWidget(this);
    client->setAutoFillBackground(true);
    QPalette white = client->palette();
    white.setColor(QPalette::Window, Qt::white);
    client->setPalette(white);
    setCentralWidget(client);
    BuildMenu(menu);
    move(kLeft, kTop);
    resize(kWidth, kHeight);
}

void QtMainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (std::exchange(outerSizeSet_, true)) return;
    // The frame's size is known once the window is on screen: the rest of
    // the outer size is the widget's.
    QTimer::singleShot(0, this, [this] {
        const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
        resize(kWidth - frame.left() - frame.right(), kHeight - frame.top() - frame.bottom());
    });
}

QtMainWindow::~QtMainWindow() = default;

void QtMainWindow::Create(WindowEvents& shell)
{
    shell_ = &shell;
    shell.OnCreate(HandleOf(this));
}

void QtMainWindow::BuildMenu(std::span<const MenuEntry> menu)
{
    // The pop-ups being filled, innermost last.
    std::vector<QMenu*> open;
    int topLevel = 0;
    for (const MenuEntry& entry : menu) {
        switch (entry.kind) {
        case MenuEntry::kPopup: {
            QMenu* popup = open.empty() ? menuBar()->addMenu(entry.text) : open.back()->addMenu(entry.text);
            if (open.empty()) {
                popups_[topLevel++] = popup;
                connect(popup, &QMenu::aboutToShow, this, [this] {
                    if (shell_) shell_->OnInitMenu(*this);
                });
            }
            open.push_back(popup);
            break;
        }
        case MenuEntry::kEnd: open.pop_back(); break;
        case MenuEntry::kSeparator: open.back()->addSeparator(); break;
        case MenuEntry::kItem: AddItem(open.back(), entry.text, entry.command, entry.checked); break;
        }
    }
}

QAction* QtMainWindow::AddItem(QMenu* menu, const char* text, std::int32_t command, bool checked)
{
    QAction* item = menu->addAction(QString::fromUtf8(text));
    items_[command] = item;
    if (checked) CheckMenuItem(command, true);
    connect(item, &QAction::triggered, this, [this, command] { Command(command); });
    return item;
}

void QtMainWindow::Command(std::int32_t command)
{
    // A click toggles a checkable action by itself; the check marks belong
    // to the logic, so the old state is put back first.
    if (QAction* item = Item(command); item && item->isCheckable()) item->setChecked(checked_[command]);
    if (shell_) shell_->DispatchCommand(HandleOf(this), command);
}

QAction* QtMainWindow::Item(std::int32_t command) const
{
    const auto found = items_.find(command);
    return found == items_.end() ? nullptr : found->second;
}

QMenu* QtMainWindow::Popup(int position) const
{
    const auto found = popups_.find(position);
    return found == popups_.end() ? nullptr : found->second;
}

void QtMainWindow::CheckMenuItem(std::int32_t command, bool checked)
{
    QAction* item = Item(command);
    if (!item) return;
    checked_[command] = checked;
    // An unchecked item shows no mark at all, not an empty check box.
    item->setCheckable(checked);
    item->setChecked(checked);
}

void QtMainWindow::EnableMenuItem(std::int32_t command, bool enabled)
{
    if (QAction* item = Item(command)) item->setEnabled(enabled);
}

void QtMainWindow::AppendMenuItem(int popup, std::int32_t command, std::string_view text)
{
    QMenu* menu = Popup(popup);
    if (!menu) return;
    const QByteArray utf8(text.data(), static_cast<qsizetype>(text.size()));
    AddItem(menu, utf8.constData(), command, false);
}

void QtMainWindow::DrawMenuBar() { menuBar()->update(); }

void QtMainWindow::SetTitle(std::string_view title) { setWindowTitle(FromView(title)); }

void QtMainWindow::Show(WindowHandle owner, std::string_view text, std::string_view caption)
{
    messages_.Show(owner, text, caption);
}

void QtMainWindow::ShowExclamation(WindowHandle owner, std::string_view text, std::string_view caption)
{
    messages_.ShowExclamation(owner, text, caption);
}

void QtMainWindow::SetTimer(WindowHandle, int id, int milliseconds)
{
    KillTimer(HandleOf(this), id);
    timers_[id] = startTimer(milliseconds);
}

void QtMainWindow::KillTimer(WindowHandle, int id)
{
    const auto found = timers_.find(id);
    if (found == timers_.end()) return;
    killTimer(found->second);
    timers_.erase(found);
}

void QtMainWindow::DestroyWindow(WindowHandle window)
{
    // The widget itself belongs to the program, which deletes it as it ends,
    // after the subsystems that refer to it: here it goes from the screen
    // and its destruction is delivered.
    if (window != HandleOf(this) || destroyed_) return;
    destroyed_ = true;
    hide();
    for (const auto& [id, qtId] : timers_) killTimer(qtId);
    timers_.clear();
    if (shell_) shell_->OnDestroy();
}

void QtMainWindow::PostQuitMessage(int exitCode) { QCoreApplication::exit(exitCode); }

void QtMainWindow::RunAboutBox(WindowHandle owner)
{
    AboutBox box(WidgetOf(owner));
    box.exec();
}

void QtMainWindow::closeEvent(QCloseEvent* event)
{
    // The shell destroys the window itself, after its close sequence.
    event->ignore();
    if (shell_ && !destroyed_) shell_->OnClose(HandleOf(this));
}

void QtMainWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    if (shell_) shell_->OnMoveOrResize();
}

void QtMainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (shell_) shell_->OnMoveOrResize();
}

void QtMainWindow::timerEvent(QTimerEvent* event)
{
    for (const auto& [id, qtId] : timers_) {
        if (qtId == event->timerId()) {
            if (shell_) shell_->OnTimer();
            return;
        }
    }
    QMainWindow::timerEvent(event);
}

void QtMainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && shell_) shell_->OnPaletteChanged();
}
