// Runs the platform tests inside a QApplication (QT_QPA_PLATFORM=offscreen)
// with the PulseAudio loopback of scripts/pulse-loopback as the default
// sound output and input. The loopback must be up, and PULSE_SERVER set,
// before Qt's media backend first looks for devices.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <QApplication>

// Empty when the loopback is ready; otherwise why not, for GTEST_SKIP.
std::string loopbackProblem;

namespace {

// Runs the script and takes PULSE_SERVER from the line it prints.
std::string StartLoopback()
{
    const std::string command = std::string("'") + TELVANE_SOURCE_DIR + "/scripts/pulse-loopback'";
    FILE* out = popen(command.c_str(), "r");
    if (!out) return "cannot run scripts/pulse-loopback";
    std::string printed;
    char chunk[256];
    while (std::fgets(chunk, sizeof chunk, out)) printed += chunk;
    const int status = pclose(out);
    if (status != 0) return "scripts/pulse-loopback could not start a sound server (see its message above)";
    const std::string key = "PULSE_SERVER=";
    const auto at = printed.find(key);
    if (at == std::string::npos) return "scripts/pulse-loopback printed no PULSE_SERVER";
    std::string server = printed.substr(at + key.size());
    server = server.substr(0, server.find('\n'));
    setenv("PULSE_SERVER", server.c_str(), 1);
    return {};
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests (as CTest's discovery does) needs no sound server.
    if (!GTEST_FLAG_GET(list_tests)) loopbackProblem = StartLoopback();
    // No display is needed, also where the tests are only listed.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
