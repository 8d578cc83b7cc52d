#include "tests/web/sse_client.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

namespace webtest {

using Clock = std::chrono::steady_clock;

SseClient::SseClient(int port, int receiveBuffer) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer > 0)
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) close();
}

SseClient::~SseClient() {
    close();
}

void SseClient::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void SseClient::request(const std::string& method, const std::string& path,
                        const std::string& extra, const std::string& body) {
    std::string text = method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra;
    if (!body.empty()) text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    text += "\r\n" + body;
    std::size_t sent = 0;
    while (fd_ >= 0 && sent < text.size()) {
        const ssize_t n = ::send(fd_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<std::size_t>(n);
    }
}

bool SseClient::fill(Clock::time_point deadline) {
    if (fd_ < 0) return false;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd p{fd_, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
    char buffer[65536];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    raw_.append(buffer, static_cast<std::size_t>(n));
    return true;
}

int SseClient::readHead(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    std::size_t end;
    while ((end = raw_.find("\r\n\r\n")) == std::string::npos)
        if (!fill(deadline)) return 0;
    const std::string head = raw_.substr(0, end);
    raw_.erase(0, end + 4);
    headers_.clear();
    std::size_t at = head.find("\r\n");
    const int status = std::stoi(head.substr(9, 3));
    while (at != std::string::npos) {
        const std::size_t next = head.find("\r\n", at + 2);
        const std::string line =
            head.substr(at + 2, next == std::string::npos ? std::string::npos : next - at - 2);
        if (const auto colon = line.find(':'); colon != std::string::npos) {
            std::string name = line.substr(0, colon);
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            headers_[name] = line.substr(line.find_first_not_of(' ', colon + 1));
        }
        at = next;
    }
    return status;
}

std::string SseClient::header(const std::string& name) const {
    const auto it = headers_.find(name);
    return it == headers_.end() ? std::string() : it->second;
}

bool SseClient::chunk(Clock::time_point deadline) {
    std::size_t line;
    while ((line = raw_.find("\r\n")) == std::string::npos)
        if (!fill(deadline)) return false;
    const std::size_t size = std::stoul(raw_.substr(0, line), nullptr, 16);
    while (raw_.size() < line + 2 + size + 2)
        if (!fill(deadline)) return false;
    body_.append(raw_, line + 2, size);
    raw_.erase(0, line + 2 + size + 2);
    return size > 0;
}

std::optional<std::string> SseClient::nextEvent(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        std::size_t end;
        while ((end = body_.find("\n\n")) != std::string::npos) {
            const std::string event = body_.substr(0, end + 1);
            body_.erase(0, end + 2);
            std::string data;
            for (std::size_t at = 0; at < event.size();) {
                const std::size_t nl = event.find('\n', at);
                const std::string line = event.substr(at, nl - at);
                if (line.rfind("data: ", 0) == 0) data += line.substr(6);
                at = nl + 1;
            }
            if (!data.empty()) return data;  // comments and retry hints carry none
        }
        if (!chunk(deadline)) return std::nullopt;
    }
}

}  // namespace webtest
