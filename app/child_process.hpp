#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace vostrel {

// A process this program started, with its console in a log file; stopped by its pid only.
class ChildProcess {
  public:
    ChildProcess() = default;
    // Starts path with args in directory dir; stdout and stderr go to logFile.
    ChildProcess(const std::string& path, const std::vector<std::string>& args,
                 const std::string& dir, const std::string& logFile);
    ~ChildProcess() { stop(); }
    ChildProcess(ChildProcess&& other) noexcept { *this = std::move(other); }
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    const std::string& log() const { return log_; }
    // False once it has exited (its status is then kept).
    bool running();
    // SIGTERM, then SIGKILL after the grace time.
    void stop(std::chrono::milliseconds grace = std::chrono::seconds(5));

  private:
    pid_t pid_ = -1;
    bool exited_ = false;
    std::string log_;
};

}  // namespace vostrel
