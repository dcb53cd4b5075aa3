#include "host/plugin_library.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace host {

std::string toLoaderPath(const std::string& path) {
#if defined(_WIN32)
    if (!path.empty() && path.front() == '/') {
        std::string windowsPath = "Z:" + path;
        for (char& c : windowsPath) {
            if (c == '/') c = '\\';
        }
        return windowsPath;
    }
#endif
    return path;
}

#if defined(_WIN32)

PluginLibrary::PluginLibrary(const std::string& path)
    : path_(path), handle_(LoadLibraryA(toLoaderPath(path).c_str())) {
    if (handle_ == nullptr) {
        throw LoadError(path + ": cannot load (Windows error " + std::to_string(GetLastError()) +
                        ")");
    }
}

PluginLibrary::~PluginLibrary() {
    FreeLibrary(static_cast<HMODULE>(handle_));
}

void* PluginLibrary::findExport(const char* name) const {
    FARPROC procedure = GetProcAddress(static_cast<HMODULE>(handle_), name);
    void* address;
    static_assert(sizeof(procedure) == sizeof(address));
    std::memcpy(&address, &procedure, sizeof(address));
    return address;
}

#else

PluginLibrary::PluginLibrary(const std::string& path)
    : path_(path), handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (handle_ == nullptr) {
        const char* reason = dlerror();
        throw LoadError(path + ": cannot load (" + (reason ? reason : "unknown reason") + ")");
    }
}

PluginLibrary::~PluginLibrary() {
    dlclose(handle_);
}

void* PluginLibrary::findExport(const char* name) const {
    return dlsym(handle_, name);
}

#endif

}  // namespace host
