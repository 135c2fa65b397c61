#pragma once
// A private X server (Xvfb) on a display number it picks itself, so that
// tests running at once never share one; stopped with the object.

#include <memory>
#include <string>

class ChildProcess;

class VirtualDisplay {
public:
    explicit VirtualDisplay(const std::string& logFolder);
    ~VirtualDisplay();

    bool ready() const { return !name_.empty(); }
    // ":N", for DISPLAY.
    const std::string& name() const { return name_; }

private:
    std::unique_ptr<ChildProcess> process_;
    std::string name_;
};
