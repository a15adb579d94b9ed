#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

namespace kantor {

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

bool DynamicLibrary::open(const std::string& path) {
    close();
    error_.clear();
    // Symbols of the library stay its own: two plug-ins may export the same names.
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* e = ::dlerror();
        error_ = e ? e : "cannot load " + path;
        return false;
    }
    return true;
}

void DynamicLibrary::close() {
    if (handle_) ::dlclose(handle_);
    handle_ = nullptr;
}

void* DynamicLibrary::symbol(const char* name) {
    if (!handle_) return nullptr;
    ::dlerror();
    void* p = ::dlsym(handle_, name);
    if (!p) {
        const char* e = ::dlerror();
        error_ = e ? e : std::string("no symbol ") + name;
    }
    return p;
}

}  // namespace kantor
