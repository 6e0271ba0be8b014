#pragma once
// Running the real telvane-cli (TELVANE_CLI) from tests, and the pictures
// and image files they send through it.

#include <sys/wait.h>

#include <QImage>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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
