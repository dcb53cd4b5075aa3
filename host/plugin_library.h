// Loading a plug-in library and finding its exports by name.
#pragma once

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

namespace host {

// A plug-in library that cannot be loaded, an export it lacks, or an export that refuses to
// create an instance.
class LoadError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The path as the platform loader wants it. Under Wine a Unix path ("/work/x.dll") becomes a
// path on drive Z: with backslashes; elsewhere the path is returned unchanged.
std::string toLoaderPath(const std::string& path);

// One loaded plug-in library, unloaded when the object is destroyed. Instances created from it
// keep it alive through a shared_ptr.
class PluginLibrary {
  public:
    // Loads the library at `path`. Throws LoadError naming the path and the loader's reason.
    explicit PluginLibrary(const std::string& path);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    // The export's code address, or null when the library has no export of that name.
    void* findExport(const char* name) const;

    // The export as a function pointer of type F. Throws LoadError when it is missing.
    template <class F>
    F requireExport(const char* name) const {
        void* address = findExport(name);
        if (address == nullptr) {
            throw LoadError(path_ + ": no export named '" + name + "'");
        }
        F function;
        static_assert(sizeof(function) == sizeof(address));
        std::memcpy(&function, &address, sizeof(function));
        return function;
    }

    const std::string& path() const { return path_; }

  private:
    std::string path_;
    void* handle_;
};

}  // namespace host
