#include "web/view_server.hpp"

#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

#include <httplib.h>

#include "web/view_page.hpp"

namespace vostrel {

namespace {

using Clock = std::chrono::steady_clock;

// Worker threads that count the connections they serve, so that a request beyond the limit
// can be answered at once instead of waiting for a free thread.
class CountingQueue : public httplib::TaskQueue {
  public:
    CountingQueue(std::size_t threads, std::atomic<int>& active)
        : pool_(threads), active_(active) {}
    void enqueue(std::function<void()> fn) override {
        pool_.enqueue([this, fn = std::move(fn)] {
            ++active_;
            struct Release {
                std::atomic<int>& n;
                ~Release() { --n; }
            } release{active_};
            fn();
        });
    }
    void shutdown() override { pool_.shutdown(); }

  private:
    httplib::ThreadPool pool_;
    std::atomic<int>& active_;
};

// Without SO_REUSEPORT, which the library sets by default: a second simulator must not share
// a port another one listens on.
void listenSocketOptions(socket_t socket) {
    const int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

void refuse(httplib::Response& res, int status, const std::string& text) {
    res.status = status;
    res.set_header("Connection", "close");
    res.set_content(text + "\n", "text/plain; charset=utf-8");
}

bool hasBody(const httplib::Request& req) {
    if (req.has_header("Transfer-Encoding")) return true;
    if (!req.has_header("Content-Length")) return false;
    return req.get_header_value("Content-Length") != "0";
}

constexpr const char* kPagePolicy =
    "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; "
    "connect-src 'self'";

}  // namespace

struct ViewServer::Impl {
    explicit Impl(Limits l) : limits(l) {}

    Limits limits;
    httplib::Server server;
    std::thread listener;
    std::atomic<bool> listenEnded = false;
    std::atomic<int> connections{0};
    std::atomic<int> streams{0};
    std::mutex environmentLock;  // guards environment
    std::shared_ptr<const std::string> environment;
    int port = 0;
};

ViewServer::ViewServer() : ViewServer(Limits{}) {}

ViewServer::ViewServer(Limits limits) : impl_(std::make_unique<Impl>(limits)) {
    Impl& m = *impl_;
    httplib::Server& s = m.server;
    const auto threads = static_cast<std::size_t>(limits.maxClients + 4);  // 4 to say 503
    s.new_task_queue = [&m, threads] { return new CountingQueue(threads, m.connections); };
    s.set_socket_options(listenSocketOptions);
    s.set_keep_alive_timeout(2);
    s.set_read_timeout(2, 0);
    s.set_write_timeout(limits.writeTimeout.count(), 0);
    s.set_payload_max_length(0);

    s.set_pre_routing_handler([&m](const httplib::Request& req, httplib::Response& res) {
        using R = httplib::Server::HandlerResponse;
        if (m.connections > m.limits.maxClients) {
            res.set_header("Retry-After", "2");
            refuse(res, 503,
                   "too many viewers: at most " + std::to_string(m.limits.maxClients) + " at once");
            return R::Handled;
        }
        if (req.method != "GET" && req.method != "HEAD") {
            res.set_header("Allow", "GET, HEAD");
            refuse(res, 405, "only GET is served here");
            return R::Handled;
        }
        if (hasBody(req)) {
            refuse(res, 413, "request bodies are not accepted");
            return R::Handled;
        }
        return R::Unhandled;
    });
    s.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.status == 404 && res.body.empty())
            res.set_content("not found: the live view serves /, /environment and /state\n",
                            "text/plain; charset=utf-8");
    });

    s.Get("/", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Content-Security-Policy", kPagePolicy);
        res.set_header("Cache-Control", "no-cache");
        const std::string_view page = viewPage();
        res.set_content(page.data(), page.size(), "text/html; charset=utf-8");
    });
    s.Get("/environment", [&m](const httplib::Request&, httplib::Response& res) {
        std::shared_ptr<const std::string> doc;
        {
            std::lock_guard lock(m.environmentLock);
            doc = m.environment;
        }
        res.set_header("Cache-Control", "no-store");
        if (!doc) {
            res.status = 503;
            res.set_header("Retry-After", "1");
            res.set_content("the simulation has not been activated yet\n",
                            "text/plain; charset=utf-8");
            return;
        }
        res.set_content(*doc, "application/json");
    });
    s.Get("/state", [this](const httplib::Request&, httplib::Response& res) {
        Impl& m = *impl_;
        res.set_header("Cache-Control", "no-store");
        ++m.streams;
        struct Stream {
            std::uint64_t seen = 0;
            Clock::time_point next{};
            bool opened = false;
        };
        res.set_chunked_content_provider(
            "text/event-stream",
            [this, stream = Stream{}](std::size_t, httplib::DataSink& sink) mutable {
                LatestState& states = states_;
                const Limits& limits = impl_->limits;
                if (!stream.opened) {
                    stream.opened = true;
                    static constexpr std::string_view kRetry = "retry: 1000\n\n";
                    return sink.write(kRetry.data(), kRetry.size());
                }
                // Rate limit first: whatever arrives meanwhile replaces what was offered.
                if (!states.sleepUntil(stream.next)) return false;
                if (!states.waitNewer(stream.seen, Clock::now() + limits.keepAlive)) {
                    if (states.stopped()) return false;
                    static constexpr std::string_view kQuiet = ": quiet\n\n";
                    return sink.write(kQuiet.data(), kQuiet.size());
                }
                const LatestState::Encoded e = states.latest();
                stream.seen = e.number;
                stream.next = Clock::now() + limits.minInterval;
                std::string event;
                event.reserve(e.json->size() + 8);
                event.append("data: ").append(*e.json).append("\n\n");
                return sink.write(event.data(), event.size());
            },
            [&m](bool) { --m.streams; });
    });
}

ViewServer::~ViewServer() {
    stop();
}

bool ViewServer::start(const ServeAddress& address, std::string& error) {
    Impl& m = *impl_;
    errno = 0;
    if (address.port == 0) {
        m.port = m.server.bind_to_any_port(address.host);
    } else {
        m.port = m.server.bind_to_port(address.host, address.port) ? address.port : -1;
    }
    if (m.port <= 0) {
        error = errno != 0 ? std::strerror(errno) : "the address is not available";
        return false;
    }
    m.listener = std::thread([&m] {
        m.server.listen_after_bind();
        m.listenEnded = true;
    });
    // stop() only reaches a server that is already running.
    while (!m.server.is_running() && !m.listenEnded)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (m.listenEnded) {
        m.listener.join();
        error = "the server stopped at once";
        return false;
    }
    return true;
}

int ViewServer::port() const {
    return impl_->port;
}

void ViewServer::stop() {
    states_.stop();
    if (impl_->listener.joinable()) {
        impl_->server.stop();
        impl_->listener.join();
    }
}

void ViewServer::setEnvironment(std::string json) {
    auto doc = std::make_shared<const std::string>(std::move(json));
    std::lock_guard lock(impl_->environmentLock);
    impl_->environment = std::move(doc);
}

int ViewServer::streams() const {
    return impl_->streams;
}

}  // namespace vostrel
