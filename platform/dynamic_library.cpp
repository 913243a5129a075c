#include "platform/dynamic_library.h"

#include <utility>

#if defined(_WIN32)
#include <io.h>

#include "platform/win32.h"
#else
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#endif

DynamicLibrary::~DynamicLibrary() { close(); }

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle(std::exchange(other.handle, nullptr)), lastError(std::move(other.lastError)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        close();
        handle = std::exchange(other.handle, nullptr);
        lastError = std::move(other.lastError);
    }
    return *this;
}

#if defined(_WIN32)

static std::string lastWindowsError() {
    char text[512] = {};
    DWORD code = GetLastError();
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                  text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == ' '))
        text[--length] = '\0';
    return length > 0 ? std::string(text) : "error " + std::to_string(code);
}

bool DynamicLibrary::open(const std::string& path) {
    close();
    handle = reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
    if (handle == nullptr) lastError = lastWindowsError();
    return handle != nullptr;
}

void DynamicLibrary::close() {
    if (handle != nullptr) FreeLibrary(static_cast<HMODULE>(handle));
    handle = nullptr;
}

void* DynamicLibrary::symbol(const char* name) {
    if (handle == nullptr) return nullptr;
    void* found = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
    if (found == nullptr) lastError = lastWindowsError();
    return found;
}

std::string executablePath() {
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return (length > 0 && length < MAX_PATH) ? std::string(path, length) : std::string();
}

bool isTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

#else

bool DynamicLibrary::open(const std::string& path) {
    close();
    // RTLD_LOCAL keeps two plug-ins (or a plug-in and its host) from resolving
    // each other's symbols.
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        lastError = reason != nullptr ? reason : "cannot load " + path;
    }
    return handle != nullptr;
}

void DynamicLibrary::close() {
    if (handle != nullptr) dlclose(handle);
    handle = nullptr;
}

void* DynamicLibrary::symbol(const char* name) {
    if (handle == nullptr) return nullptr;
    dlerror();
    void* found = dlsym(handle, name);
    if (found == nullptr) {
        const char* reason = dlerror();
        lastError = reason != nullptr ? reason : std::string("no symbol ") + name;
    }
    return found;
}

std::string executablePath() {
    char path[PATH_MAX] = {};
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

bool isTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

#endif
