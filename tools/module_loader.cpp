#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "tool_modules.hpp"

namespace {

// The directory of the running program, with its slash; empty when it
// cannot be told.
std::string ProgramDirectory()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    const std::string program(path, static_cast<std::size_t>(length));
    return program.substr(0, program.rfind('/') + 1);
}

// The address of entry in the module file, or null with a reason in error
// naming what the module is (the image reader, ...).
void* Load(const char* file, const char* entry, const std::string& what, std::string& error)
{
    const std::string directory = ProgramDirectory();
    // Never a name the loader would look for along its search path or from
    // the working directory.
    if (directory.empty()) {
        error = "the " + what + " could not be loaded: the program's own directory is unknown";
        return nullptr;
    }
    void* module = nullptr;
    std::string failure;
    for (const std::string& candidate : {directory + TELVANE_MODULE_DIR + "/" + file, directory + file}) {
        module = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module != nullptr) break;
        // The installed place's reason is the one worth giving.
        if (failure.empty()) failure = dlerror();
    }
    if (module == nullptr) {
        error = "the " + what + " could not be loaded: " + failure;
        return nullptr;
    }
    void* address = dlsym(module, entry);
    if (address == nullptr) error = "the " + what + " is not usable: " + dlerror();
    return address;
}

// A module's entry point, looked for once: loaded, a module stays for the
// life of the process, and one that failed to load is not tried again.
struct ModuleEntry {
    bool tried = false;
    void* address = nullptr;
    std::string failure;
};

// Load, once for each module.
void* Find(ModuleEntry& found, const char* file, const char* entry, const std::string& what, std::string& error)
{
    if (!found.tried) {
        found.tried = true;
        found.address = Load(file, entry, what, found.failure);
    }
    error = found.failure;
    return found.address;
}

}  // namespace

bool LoadPictureThroughModule(const std::string& path, Picture& picture, std::string& error)
{
    using LoadFunction = int (*)(const char*, std::uint8_t*, char*, std::size_t);
    static ModuleEntry entry;
    const auto load =
        reinterpret_cast<LoadFunction>(Find(entry, kImageModuleFile, kImageModuleEntry, "image reader", error));
    if (load == nullptr) return false;
    char reason[512] = {};
    if (load(path.c_str(), picture.front().data(), reason, sizeof reason) != 0) return true;
    error = reason;
    return false;
}

bool ReadRecordingThroughModule(const std::string& path, SampleSink& sink, std::string& error)
{
    using ReadFunction = int (*)(const char*, SampleSink*, char*, std::size_t);
    static ModuleEntry entry;
    const auto read = reinterpret_cast<ReadFunction>(
        Find(entry, kRecordingModuleFile, kRecordingModuleEntry, "recording reader", error));
    if (read == nullptr) return false;
    char reason[512] = {};
    if (read(path.c_str(), &sink, reason, sizeof reason) != 0) return true;
    error = reason;
    return false;
}
