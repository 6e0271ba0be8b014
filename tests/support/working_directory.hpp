#pragma once
// Fresh temporary directories for tests: one that is removed with all it
// holds when the object goes (permissions a test took away are given back
// first), and one that is also the working directory meanwhile (the
// transmitter writes its WAV files into the working directory).

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

class TemporaryDirectory {
public:
    explicit TemporaryDirectory(const std::string& prefix = "telvane-test")
    {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary directory");
        path_ = pattern;
    }
    ~TemporaryDirectory()
    {
        namespace fs = std::filesystem;
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        for (auto entry = fs::recursive_directory_iterator(path_, ignored); entry != fs::recursive_directory_iterator();
             entry.increment(ignored)) {
            if (entry->is_directory(ignored) && !entry->is_symlink(ignored)) {
                fs::permissions(entry->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
            }
        }
        fs::remove_all(path_, ignored);
    }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

class TemporaryWorkingDirectory {
public:
    explicit TemporaryWorkingDirectory(const std::string& prefix = "telvane-test")
        : directory_(prefix), previous_(std::filesystem::current_path())
    {
        std::filesystem::current_path(directory_.Path());
    }
    ~TemporaryWorkingDirectory()
    {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
    }
    TemporaryWorkingDirectory(const TemporaryWorkingDirectory&) = delete;
    TemporaryWorkingDirectory& operator=(const TemporaryWorkingDirectory&) = delete;

    const std::filesystem::path& Path() const { return directory_.Path(); }

private:
    TemporaryDirectory directory_;
    std::filesystem::path previous_;
};
