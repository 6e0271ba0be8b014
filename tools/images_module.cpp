// The image reader as a module of its own, loaded by telvane-cli only when
// it encodes: reading images takes Qt, and a decode should not pay for
// loading it.

#include <QCoreApplication>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "image_input.hpp"
#include "tool_modules.hpp"

extern "C" __attribute__((visibility("default"))) int telvane_load_picture(const char* path, std::uint8_t* picture,
                                                                          char* error, std::size_t errorSize)
{
    // For Qt's image format plugins; no display is needed. Kept for the
    // life of the process.
    static int argc = 1;
    static char name[] = "telvane-cli";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* application = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)application;

    Picture loaded{};
    std::string reason;
    if (!LoadPicture(path, loaded, reason)) {
        std::snprintf(error, errorSize, "%s", reason.c_str());
        return 0;
    }
    std::memcpy(picture, loaded.data(), sizeof loaded);
    return 1;
}
