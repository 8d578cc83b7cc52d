#pragma once
// Headless Chromium driven over its DevTools pipe (file descriptors 3 and 4), so that a test
// needs no WebSocket client and no port of the browser's own.

#include <sys/types.h>

#include <chrono>
#include <string>

#include <nlohmann/json.hpp>

namespace webtest {

class ChromiumPipe {
  public:
    // The browser executable, or an empty string when none is installed.
    static std::string find();

    // Starts it with a new empty profile in profileDir; the console goes to logFile.
    ChromiumPipe(const std::string& executable, const std::string& profileDir,
                 const std::string& logFile);
    ~ChromiumPipe();  // closes the browser, killing it if it does not go
    ChromiumPipe(const ChromiumPipe&) = delete;
    ChromiumPipe& operator=(const ChromiumPipe&) = delete;

    // Sends one command and returns its result; throws on an error answer or a timeout.
    nlohmann::json call(const std::string& method,
                        const nlohmann::json& params = nlohmann::json::object(),
                        const std::string& session = "",
                        std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // Runtime.evaluate in session, the value of the expression.
    nlohmann::json evaluate(const std::string& session, const std::string& expression);

  private:
    bool readMessage(std::string& message, std::chrono::steady_clock::time_point deadline);

    pid_t pid_ = -1;
    int toBrowser_ = -1;
    int fromBrowser_ = -1;
    int nextId_ = 1;
    std::string buffer_;
};

}  // namespace webtest
