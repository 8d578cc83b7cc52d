#include "display/display_probe.hpp"

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace vostrel {

namespace {

bool set(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0';
}

// Loads the X client library at run time, so building needs no X headers.
bool xServerAnswers() {
    void* x11 = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
    if (x11 == nullptr) return false;
    using Open = void* (*)(const char*);
    using Close = int (*)(void*);
    const auto open = reinterpret_cast<Open>(dlsym(x11, "XOpenDisplay"));
    const auto close = reinterpret_cast<Close>(dlsym(x11, "XCloseDisplay"));
    bool ok = false;
    if (open != nullptr && close != nullptr) {
        if (void* display = open(nullptr)) {
            close(display);
            ok = true;
        }
    }
    // The library stays loaded: the window library maps it anyway, and unloading a client
    // library that has opened a connection is not something it is built for.
    return ok;
}

bool waylandAnswers() {
    std::string path = std::getenv("WAYLAND_DISPLAY");
    if (path.front() != '/') {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        if (runtime == nullptr || *runtime == '\0') return false;
        path = std::string(runtime) + "/" + path;
    }
    sockaddr_un address{};
    if (path.size() >= sizeof(address.sun_path)) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    close(fd);
    return ok;
}

}  // namespace

bool displayReachable() {
    if (set("DISPLAY")) return xServerAnswers();
    if (set("WAYLAND_DISPLAY")) return waylandAnswers();
    return false;
}

}  // namespace vostrel
