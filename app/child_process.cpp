#include "app/child_process.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

namespace vostrel {

ChildProcess::ChildProcess(const std::string& path, const std::vector<std::string>& args,
                           const std::string& dir, const std::string& logFile)
    : log_(logFile) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("cannot start " + path);
    if (pid_ == 0) {
        const int fd = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            ::dup2(fd, 1);
            ::dup2(fd, 2);
            ::close(fd);
        }
        const int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0) ::dup2(null, 0);
        if (!dir.empty() && ::chdir(dir.c_str()) != 0) ::_exit(127);
        ::execv(path.c_str(), argv.data());
        ::_exit(127);
    }
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        stop();
        pid_ = other.pid_;
        exited_ = other.exited_;
        log_ = std::move(other.log_);
        other.pid_ = -1;
    }
    return *this;
}

bool ChildProcess::running() {
    if (pid_ <= 0 || exited_) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) exited_ = true;
    return !exited_;
}

void ChildProcess::stop(std::chrono::milliseconds grace) {
    if (!running()) return;
    ::kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + grace;
    while (running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (running()) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        exited_ = true;
    }
}

}  // namespace vostrel
