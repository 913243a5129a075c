// A private X server for tests, the stress and the benchmark: Xvfb on a
// display number it picks itself (-displayfd), so parallel runs never meet
// and pointer input never reaches a user's real display.
#pragma once

#include <sys/types.h>

#include <string>

class PrivateDisplay {
public:
    /// Starts Xvfb with one screen of `depth` bits; see ok() and error().
    explicit PrivateDisplay(int depth = 24, int width = 1280, int height = 1024);
    /// Stops the server.
    ~PrivateDisplay();
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;

    bool ok() const { return pid_ > 0; }
    /// The display name, ":N".
    const std::string& name() const { return name_; }
    /// Why the server could not be started.
    const std::string& error() const { return error_; }
    /// Ends the server now, as a display that goes away.
    void stop();

private:
    pid_t pid_ = -1;
    std::string name_;
    std::string error_;
};
