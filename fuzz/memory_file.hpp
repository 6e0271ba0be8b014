#pragma once
// An in-memory file holding the current input, for code that only reads
// files by path: the path (/proc/self/fd/N) opens the same memory afresh.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

class MemoryFile {
public:
    explicit MemoryFile(const char* name) : fd_(memfd_create(name, MFD_CLOEXEC))
    {
        if (fd_ < 0) Fail("memfd_create failed");
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }

    // Replaces the contents with size bytes at data.
    void Hold(const std::uint8_t* data, std::size_t size) const
    {
        if (ftruncate(fd_, 0) != 0) Fail("ftruncate failed");
        for (std::size_t done = 0; done < size;) {
            const ssize_t wrote = pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
            if (wrote <= 0) Fail("pwrite failed");
            done += static_cast<std::size_t>(wrote);
        }
    }

    const std::string& Path() const { return path_; }

private:
    [[noreturn]] static void Fail(const char* what)
    {
        std::fprintf(stderr, "memory file: %s\n", what);
        std::abort();
    }

    int fd_;
    std::string path_;
};
