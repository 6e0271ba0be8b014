// Telvane, the desktop program. It reads no command line, environment
// variable or file of its own and saves nothing.

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <QApplication>

#include "telvane_app.hpp"

namespace {

// Qt ends the process when it cannot reach the windowing system; this says
// so plainly first. Only the usual Linux platforms are checked.
bool DisplayAvailable()
{
#if defined(Q_OS_LINUX)
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const bool named = platform != nullptr && *platform != '\0';
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    if (named && std::strncmp(platform, "xcb", 3) != 0 && std::strncmp(platform, "wayland", 7) != 0) return true;
    if (named && std::strncmp(platform, "wayland", 7) == 0) return set("WAYLAND_DISPLAY");
    if (named) return set("DISPLAY");
    return set("DISPLAY") || set("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

}  // namespace

int main(int argc, char* argv[])
{
    if (!DisplayAvailable()) {
        std::fprintf(stderr,
                     "telvane: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not set).\n"
                     "Run it in a desktop session, or use telvane-cli to encode and decode offline.\n");
        return 0;
    }
    // Qt's own options only; the program itself takes none.
    QApplication application(argc, argv);
    QApplication::setApplicationName("Telvane");
    QApplication::setWindowIcon(QIcon(":/telvane/telvane_icon.png"));

    auto app = std::unique_ptr<TelvaneApp>(new (std::nothrow) TelvaneApp);
    if (!app) {
        std::fprintf(stderr, "telvane: the main window could not be created.\n");
        return 2;
    }
    app->Start();
    return QApplication::exec();
}
