#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vostrel {

// Where the live view listens. Port 0 means "any free port" to the server; the component's
// configuration uses 0 for "off" and never hands it on.
struct ServeAddress {
    std::string host = "127.0.0.1";
    int port = 0;

    // "HOST:PORT" with IPv6 hosts in brackets, as a browser wants it.
    std::string hostPort() const;
    std::string url() const { return "http://" + hostPort() + "/"; }
};

// "[ADDR:]PORT" of the runners' --serve; IPv6 addresses in brackets ("[::1]:8080"). On a
// malformed text returns nothing and says why in error.
std::optional<ServeAddress> parseServeAddress(std::string_view text, std::string& error);

// A port number 0..65535 given as text; nothing when it is not one.
std::optional<int> parsePort(std::string_view text);

// True for the loopback addresses and "localhost": only this machine can connect there.
bool isLoopback(std::string_view host);

}  // namespace vostrel
