// Loading a plug-in library at run time, the way a host does: the one place
// that knows dlopen from LoadLibrary.
#pragma once

#include <cstdio>
#include <string>

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;

    /// Loads `path`; on failure returns false and leaves the reason in error().
    bool open(const std::string& path);
    void close();
    bool isOpen() const { return handle != nullptr; }
    /// The exported symbol `name`, or null (reason in error()).
    void* symbol(const char* name);
    const std::string& error() const { return lastError; }

private:
    void* handle = nullptr;
    std::string lastError;
};

/// Absolute path of the running program, or empty when the system will not say.
std::string executablePath();

/// True when `stream` (stdout, stderr) is an interactive terminal.
bool isTerminal(std::FILE* stream);
