#pragma once

#include <sys/types.h>

#include <string>

namespace vostrel::testing {

// An Xvfb server on a display number it picks itself (so parallel tests never collide),
// stopped by its process id when this object goes away.
class VirtualDisplay {
  public:
    VirtualDisplay();
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // False when Xvfb is not installed or did not come up; why() says which.
    bool running() const { return pid_ > 0 && !name_.empty(); }
    const std::string& why() const { return why_; }
    // ":N", for DISPLAY.
    const std::string& name() const { return name_; }

  private:
    pid_t pid_ = -1;
    std::string name_;
    std::string why_;
};

}  // namespace vostrel::testing
