#include "web/serve_address.hpp"

#include <charconv>

namespace vostrel {

std::string ServeAddress::hostPort() const {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::optional<int> parsePort(std::string_view text) {
    int port = -1;
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, port);
    if (text.empty() || ec != std::errc() || at != end || port < 0 || port > 65535)
        return std::nullopt;
    return port;
}

std::optional<ServeAddress> parseServeAddress(std::string_view text, std::string& error) {
    ServeAddress address;
    std::string_view portText = text;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':') {
            error = "expected [IPv6]:PORT, not '" + std::string(text) + "'";
            return std::nullopt;
        }
        address.host = std::string(text.substr(1, close - 1));
        portText = text.substr(close + 2);
    } else if (const auto colon = text.rfind(':'); colon != std::string_view::npos) {
        address.host = std::string(text.substr(0, colon));
        portText = text.substr(colon + 1);
        if (address.host.find(':') != std::string::npos) {
            error = "an IPv6 address goes in brackets, e.g. [::1]:8080";
            return std::nullopt;
        }
    }
    if (address.host.empty()) {
        error = "the address before ':' is empty in '" + std::string(text) + "'";
        return std::nullopt;
    }
    const std::optional<int> port = parsePort(portText);
    if (!port) {
        error = "the port must be a number 0..65535, not '" + std::string(portText) + "'";
        return std::nullopt;
    }
    address.port = *port;
    return address;
}

bool isLoopback(std::string_view host) {
    if (host == "localhost" || host == "::1") return true;
    // 127.0.0.0/8 as a dotted address; a name that merely starts with "127." is not one.
    return host.substr(0, 4) == "127." &&
           host.find_first_not_of("0123456789.") == std::string_view::npos;
}

}  // namespace vostrel
