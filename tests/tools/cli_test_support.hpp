#pragma once
// Running the real telvane-cli (TELVANE_CLI) from tests, and the pictures
// and image files they send through it.

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/picture.hpp"

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

inline std::string Slurp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The tool with its arguments (single-quoted for the shell), standard input
// from stdinPath; its output is kept in dir as "stdout" and "stderr".
inline CliRun RunCli(const std::filesystem::path& dir, const std::vector<std::string>& args,
                     const std::string& stdinPath = "/dev/null")
{
    const std::string out = (dir / "stdout").string();
    const std::string err = (dir / "stderr").string();
    std::string command = std::string("'") + TELVANE_CLI + "'";
    for (const std::string& arg : args) command += " '" + arg + "'";
    command += " >'" + out + "' 2>'" + err + "' <'" + stdinPath + "'";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(out), Slurp(err)};
}

struct FedRun {
    CliRun run;
    std::size_t fed;      // bytes that went into the pipe before the tool closed it
    int signal = 0;       // the signal that ended the tool, 0 when it exited
};

// The state letter of a running process ('S' while it waits for input).
inline char ProcessState(pid_t pid)
{
    const std::string stat = Slurp("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t end = stat.rfind(") ");
    return end == std::string::npos || end + 2 >= stat.size() ? '?' : stat[end + 2];
}

struct Feeding {
    // The tool's end of the pipe non-blocking, and the input running dry
    // once: after the first 4096 bytes nothing more comes until the tool
    // has taken them and waits for more (or has gone).
    bool nonBlocking = false;
    // Called once the tool waits for its first input, after whenReady
    // exists (a path the tool makes before it reads).
    std::function<void()> onceWaiting;
    std::filesystem::path whenReady;
    // Sent once the tool has taken every byte and waits for more, before
    // the input is closed.
    int stopSignal = 0;
};

// The tool with its standard input a pipe into which bytes are written as
// fast as it reads them, then closed; output kept as by RunCli.
inline FedRun RunCliFed(const std::filesystem::path& dir, const std::vector<std::string>& args,
                        const std::string& bytes, const Feeding& feeding = {})
{
    const std::string out = (dir / "stdout").string();
    const std::string err = (dir / "stderr").string();
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return {{-1, "", "pipe failed"}, 0};
    if (feeding.nonBlocking) fcntl(pipeEnds[0], F_SETFL, fcntl(pipeEnds[0], F_GETFL) | O_NONBLOCK);
    std::vector<std::string> argv = {TELVANE_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& arg : argv) pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[0], STDIN_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
        dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
        execv(TELVANE_CLI, pointers.data());
        _exit(127);
    }
    close(pipeEnds[0]);
    // A tool that has gone makes the write fail rather than end the test.
    const auto previous = signal(SIGPIPE, SIG_IGN);
    int raw = 0;
    bool gone = child <= 0;
    std::size_t fed = 0;
    const auto feed = [&](std::size_t until) {
        while (!gone && fed < until) {
            const ssize_t put = write(pipeEnds[1], bytes.data() + fed, until - fed);
            if (put > 0) fed += static_cast<std::size_t>(put);
            if (put < 0 && errno != EINTR) break;
        }
    };
    // Until the tool has taken all that is in the pipe and waits for more.
    const auto waitUntilIdle = [&](const std::filesystem::path& ready) {
        for (int unread = 1; !gone; usleep(1000)) {
            gone = waitpid(child, &raw, WNOHANG) == child;
            if ((ready.empty() || std::filesystem::exists(ready)) && ioctl(pipeEnds[1], FIONREAD, &unread) == 0 &&
                unread == 0 && ProcessState(child) == 'S')
                break;
        }
    };
    if (feeding.onceWaiting) {
        waitUntilIdle(feeding.whenReady);
        feeding.onceWaiting();
    }
    if (feeding.nonBlocking) {
        feed(std::min<std::size_t>(4096, bytes.size()));
        waitUntilIdle({});
    }
    feed(bytes.size());
    if (feeding.stopSignal != 0) {
        waitUntilIdle({});
        if (!gone) kill(child, feeding.stopSignal);
    }
    close(pipeEnds[1]);
    if (!gone && child > 0) waitpid(child, &raw, 0);
    signal(SIGPIPE, previous);
    const int status = child > 0 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return {{status, Slurp(out), Slurp(err)}, fed, child > 0 && WIFSIGNALED(raw) ? WTERMSIG(raw) : 0};
}

inline Picture RandomPicture(unsigned seed)
{
    std::mt19937 random(seed);
    Picture picture{};
    for (PictureLine& line : picture)
        for (std::uint8_t& value : line) value = static_cast<std::uint8_t>(random() % 256);
    return picture;
}

inline QImage GreyImage(const Picture& picture)
{
    QImage image(kPictureWidth, kPictureHeight, QImage::Format_Grayscale8);
    for (int y = 0; y < kPictureHeight; ++y)
        for (int x = 0; x < kPictureWidth; ++x) image.scanLine(y)[x] = picture[y][x];
    return image;
}
