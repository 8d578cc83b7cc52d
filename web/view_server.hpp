#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "web/latest_state.hpp"
#include "web/serve_address.hpp"

namespace vostrel {

// The live view's HTTP server: the page at "/", the run's fixed data at "/environment" and a
// Server-Sent Events stream of states at "/state". It runs on threads of its own and only
// ever reads what the cycle handed over through states().
class ViewServer {
  public:
    struct Limits {
        int maxClients = 16;                         // connections served at once; more get 503
        std::chrono::milliseconds minInterval{50};   // per viewer: at most 20 states a second
        std::chrono::milliseconds keepAlive{10000};  // a comment line on a quiet stream
        // A viewer that takes nothing for this long is dropped; stopping waits for it at most
        // this long too.
        std::chrono::seconds writeTimeout{5};
    };

    ViewServer();
    explicit ViewServer(Limits limits);
    ~ViewServer();  // stop()
    ViewServer(const ViewServer&) = delete;
    ViewServer& operator=(const ViewServer&) = delete;

    // Binds and serves. False when the address cannot be listened on, with the reason in
    // error. Port 0 takes a free port; port() tells which.
    bool start(const ServeAddress& address, std::string& error);
    int port() const;
    // Closes every stream and the listening socket; waits for the server's threads.
    void stop();

    LatestState& states() { return states_; }
    // The document at /environment; replaced at every activation.
    void setEnvironment(std::string json);
    // Streams open now: while there are none, the cycle need not offer states.
    int streams() const;

  private:
    struct Impl;
    LatestState states_;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vostrel
