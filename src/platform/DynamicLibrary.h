#pragma once
// A loaded shared library (dlopen, dlsym, dlclose), released when the object goes.
#include <string>

namespace kantor {

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary() { close(); }
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    DynamicLibrary(DynamicLibrary&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;

    // Loads a library by path (a name without '/' is looked for by the loader's rules, so
    // callers pass paths). False with error() set.
    bool open(const std::string& path);
    void close();
    bool isOpen() const { return handle_ != nullptr; }
    // The address of an exported symbol, nullptr when missing (error() says why).
    void* symbol(const char* name);
    const std::string& error() const { return error_; }

private:
    void* handle_ = nullptr;
    std::string error_;
};

}  // namespace kantor
