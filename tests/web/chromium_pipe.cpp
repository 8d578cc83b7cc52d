#include "tests/web/chromium_pipe.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>
#include <vector>

namespace webtest {

using Clock = std::chrono::steady_clock;

std::string ChromiumPipe::find() {
    for (const char* path : {"/usr/bin/chromium", "/usr/bin/chromium-browser"})
        if (::access(path, X_OK) == 0) return path;
    return {};
}

ChromiumPipe::ChromiumPipe(const std::string& executable, const std::string& profileDir,
                           const std::string& logFile) {
    ::signal(SIGPIPE, SIG_IGN);  // a browser that died is reported by the failing call
    int in[2], out[2];           // in: we write, the browser reads fd 3; out: it writes fd 4
    if (::pipe(in) != 0 || ::pipe(out) != 0) throw std::runtime_error("pipe failed");
    std::vector<std::string> args = {executable,
                                     "--headless",
                                     "--no-sandbox",
                                     "--disable-gpu",
                                     "--disable-quic",
                                     "--no-first-run",
                                     "--disable-background-networking",
                                     "--disable-component-update",
                                     "--disable-sync",
                                     "--disable-extensions",
                                     "--user-data-dir=" + profileDir,
                                     "--remote-debugging-pipe",
                                     "about:blank"};
    pid_ = ::fork();
    if (pid_ == 0) {
        ::setpgid(0, 0);  // its helpers go with it
        // Out of the way of 3 and 4 first, then onto them.
        const int r = ::fcntl(in[0], F_DUPFD, 10);
        const int w = ::fcntl(out[1], F_DUPFD, 10);
        ::dup2(r, 3);
        ::dup2(w, 4);
        const int log = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(log, 1);
        ::dup2(log, 2);
        for (int fd = 5; fd < 1024; ++fd) ::close(fd);
        ::close(0);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(executable.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    toBrowser_ = in[1];
    fromBrowser_ = out[0];
}

ChromiumPipe::~ChromiumPipe() {
    try {
        call("Browser.close", nlohmann::json::object(), "", std::chrono::seconds(5));
    } catch (const std::exception&) {
    }
    ::close(toBrowser_);
    ::close(fromBrowser_);
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ::kill(-pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
}

bool ChromiumPipe::readMessage(std::string& message, Clock::time_point deadline) {
    for (;;) {
        const auto end = buffer_.find('\0');
        if (end != std::string::npos) {
            message = buffer_.substr(0, end);
            buffer_.erase(0, end + 1);
            return true;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{fromBrowser_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
        char chunk[65536];
        const ssize_t n = ::read(fromBrowser_, chunk, sizeof chunk);
        if (n <= 0) return false;
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
}

nlohmann::json ChromiumPipe::call(const std::string& method, const nlohmann::json& params,
                                  const std::string& session, std::chrono::milliseconds timeout) {
    const int id = nextId_++;
    nlohmann::json command = {{"id", id}, {"method", method}, {"params", params}};
    if (!session.empty()) command["sessionId"] = session;
    const std::string text = command.dump() + '\0';
    if (::write(toBrowser_, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        throw std::runtime_error("cannot write to the browser: " + method);
    const auto deadline = Clock::now() + timeout;
    std::string message;
    while (readMessage(message, deadline)) {
        const auto answer = nlohmann::json::parse(message);
        if (!answer.contains("id") || answer["id"] != id) continue;  // events and others
        if (answer.contains("error"))
            throw std::runtime_error(method + ": " + answer["error"].dump());
        return answer["result"];
    }
    throw std::runtime_error("no answer from the browser to " + method);
}

nlohmann::json ChromiumPipe::evaluate(const std::string& session, const std::string& expression) {
    const auto result =
        call("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}}, session);
    if (result.contains("exceptionDetails"))
        throw std::runtime_error(expression + ": " + result["exceptionDetails"].dump());
    return result["result"].value("value", nlohmann::json());
}

}  // namespace webtest
