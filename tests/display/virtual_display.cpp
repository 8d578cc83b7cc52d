#include "virtual_display.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

extern char** environ;

namespace vostrel::testing {

namespace {

std::string findXvfb() {
    for (const char* dir : {"/usr/bin", "/usr/local/bin", "/bin"}) {
        const std::filesystem::path p = std::filesystem::path(dir) / "Xvfb";
        if (access(p.c_str(), X_OK) == 0) return p.string();
    }
    return {};
}

}  // namespace

VirtualDisplay::VirtualDisplay() {
    const std::string xvfb = findXvfb();
    if (xvfb.empty()) {
        why_ = "Xvfb is not installed";
        return;
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        why_ = "no pipe";
        return;
    }
    // The server writes the display number it chose to fd 3 once it accepts connections.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args{xvfb, "-displayfd", "3",         "-screen",
                                  "0",  "800x600x24", "-nolisten", "tcp"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int spawned = posix_spawn(&pid_, xvfb.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        pid_ = -1;
        close(fds[0]);
        why_ = "Xvfb did not start";
        return;
    }
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (poll(&p, 1, 10000) > 0) {
        char c;
        if (read(fds[0], &c, 1) != 1 || c == '\n') break;
        number.push_back(c);
    }
    close(fds[0]);
    if (number.empty()) {
        why_ = "Xvfb did not report a display";
        return;
    }
    name_ = ":" + number;
}

VirtualDisplay::~VirtualDisplay() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
}

}  // namespace vostrel::testing
