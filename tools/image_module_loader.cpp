#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "image_module.hpp"

namespace {

using LoadFunction = int (*)(const char*, std::uint8_t*, char*, std::size_t);

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

// The module's entry, or null with the loader's reason in error.
LoadFunction LoadModule(std::string& error)
{
    static LoadFunction load = nullptr;
    static std::string failure;
    static bool tried = false;
    if (tried) {
        error = failure;
        return load;
    }
    tried = true;
    const std::string directory = ProgramDirectory();
    // Never a name the loader would look for along its search path or from
    // the working directory.
    if (directory.empty()) {
        error = failure = "the image reader could not be loaded: the program's own directory is unknown";
        return nullptr;
    }
    void* module = nullptr;
    for (const std::string& candidate : {directory + TELVANE_IMAGE_MODULE_DIR + "/" + kImageModuleFile,
                                         directory + kImageModuleFile}) {
        module = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module != nullptr) break;
        // The installed place's reason is the one worth giving.
        if (failure.empty()) failure = dlerror();
    }
    if (module == nullptr) {
        error = failure = "the image reader could not be loaded: " + failure;
        return nullptr;
    }
    load = reinterpret_cast<LoadFunction>(dlsym(module, kImageModuleEntry));
    if (load == nullptr) error = failure = std::string("the image reader is not usable: ") + dlerror();
    return load;
}

}  // namespace

bool LoadPictureThroughModule(const std::string& path, Picture& picture, std::string& error)
{
    const LoadFunction load = LoadModule(error);
    if (load == nullptr) return false;
    char reason[512] = {};
    if (load(path.c_str(), picture.front().data(), reason, sizeof reason) != 0) return true;
    error = reason;
    return false;
}
