#pragma once
// A fresh temporary directory made the working directory for as long as the
// object lives (the transmitter writes its WAV files into the working
// directory); afterwards the old one is restored and the new one removed.

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

class TemporaryWorkingDirectory {
public:
    explicit TemporaryWorkingDirectory(const std::string& prefix = "telvane-test")
    {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary directory");
        path_ = pattern;
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(path_);
    }
    ~TemporaryWorkingDirectory()
    {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryWorkingDirectory(const TemporaryWorkingDirectory&) = delete;
    TemporaryWorkingDirectory& operator=(const TemporaryWorkingDirectory&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};
