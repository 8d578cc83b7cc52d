#pragma once
// A plain-socket HTTP client for the live view's tests: it can read a stream event by event,
// or connect and never read at all, which no ready-made client does.

#include <chrono>
#include <map>
#include <optional>
#include <string>

namespace webtest {

class SseClient {
  public:
    // Connects to 127.0.0.1:port. receiveBuffer > 0 shrinks the socket's receive buffer, so
    // that a client which never reads stalls the sender soon.
    explicit SseClient(int port, int receiveBuffer = 0);
    ~SseClient();
    SseClient(const SseClient&) = delete;
    SseClient& operator=(const SseClient&) = delete;

    bool connected() const { return fd_ >= 0; }
    // Sends a request; extra is inserted as header lines ("Name: value\r\n...").
    void request(const std::string& method, const std::string& path, const std::string& extra = "",
                 const std::string& body = "");
    // Reads the status line and headers; 0 on timeout or a closed connection.
    int readHead(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    std::string header(const std::string& lowerCaseName) const;
    // The data of the next event of a chunked event stream; nothing on timeout or close.
    std::optional<std::string> nextEvent(
        std::chrono::milliseconds timeout = std::chrono::seconds(10));
    void close();

  private:
    bool fill(std::chrono::steady_clock::time_point deadline);   // more raw bytes
    bool chunk(std::chrono::steady_clock::time_point deadline);  // one more body chunk

    int fd_ = -1;
    std::string raw_;   // received, not yet parsed
    std::string body_;  // de-chunked, not yet split into events
    std::map<std::string, std::string> headers_;
};

}  // namespace webtest
