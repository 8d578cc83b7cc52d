// The live view's server over HTTP on 127.0.0.1: documents, refusals, limits and the
// hand-over that must never hold up the cycle.
#include <gtest/gtest.h>

#include <httplib.h>

#include <nlohmann/json.hpp>

#include <memory>
#include <thread>
#include <vector>

#include "tests/web/sse_client.hpp"
#include "web/serve_address.hpp"
#include "web/view_server.hpp"

namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using vostrel::ServeAddress;
using vostrel::ViewServer;
using vostrel::ViewState;
using webtest::SseClient;

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 15s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return condition();
}

// A server on a free loopback port.
struct Served {
    explicit Served(ViewServer::Limits limits = {}) : server(limits) {
        std::string error;
        EXPECT_TRUE(server.start({"127.0.0.1", 0}, error)) << error;
    }
    int port() const { return server.port(); }
    httplib::Client client() const { return httplib::Client("127.0.0.1", server.port()); }
    ViewServer server;
};

ViewState stateOfStep(int step, int persons = 3) {
    ViewState s;
    s.run = 1;
    s.step = step;
    for (int i = 0; i < persons; ++i) s.persons.push_back({i + 1, {1.0 * i, 2.0}, {0.5, 0.0}});
    return s;
}

// Opens a stream and waits until the server counts it, so that offers reach it.
std::unique_ptr<SseClient> openStream(Served& s, int expectStreams, int receiveBuffer = 0) {
    auto c = std::make_unique<SseClient>(s.port(), receiveBuffer);
    c->request("GET", "/state");
    EXPECT_TRUE(eventually([&] { return s.server.streams() >= expectStreams; }));
    return c;
}

TEST(ServeAddress, ParsesPortAndAddressForms) {
    std::string error;
    auto a = vostrel::parseServeAddress("8080", error);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->host, "127.0.0.1");
    EXPECT_EQ(a->port, 8080);
    a = vostrel::parseServeAddress("0.0.0.0:80", error);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->host, "0.0.0.0");
    EXPECT_EQ(a->url(), "http://0.0.0.0:80/");
    a = vostrel::parseServeAddress("[::1]:9000", error);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->host, "::1");
    EXPECT_EQ(a->hostPort(), "[::1]:9000");
    for (const char* bad :
         {"", "abc", "70000", "-1", ":80", "::1:80", "[::1]80", "[::1", "host:"}) {
        error.clear();
        EXPECT_FALSE(vostrel::parseServeAddress(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST(ServeAddress, OnlyLoopbackAddressesCountAsLocal) {
    for (const char* local : {"127.0.0.1", "127.1.2.3", "localhost", "::1"})
        EXPECT_TRUE(vostrel::isLoopback(local)) << local;
    for (const char* open : {"0.0.0.0", "192.168.1.20", "::", "127.example.org", "example.org"})
        EXPECT_FALSE(vostrel::isLoopback(open)) << open;
}

TEST(ViewServer, ServesThePageTheEnvironmentAndTheStreamWithTheirTypes) {
    Served s;
    httplib::Client c = s.client();
    auto page = c.Get("/");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
    EXPECT_NE(page->body.find("<canvas"), std::string::npos);
    // The page may talk to this server only.
    EXPECT_NE(page->get_header_value("Content-Security-Policy").find("connect-src 'self'"),
              std::string::npos);
    EXPECT_EQ(page->body.find("http://"), std::string::npos) << "the page loads nothing else";
    EXPECT_EQ(page->body.find("https://"), std::string::npos);

    auto early = c.Get("/environment");
    ASSERT_TRUE(early);
    EXPECT_EQ(early->status, 503) << "no run was activated yet";
    s.server.setEnvironment(R"({"run":1,"walls":[]})");
    auto env = c.Get("/environment");
    ASSERT_TRUE(env);
    EXPECT_EQ(env->status, 200);
    EXPECT_EQ(env->get_header_value("Content-Type"), "application/json");
    EXPECT_EQ(json::parse(env->body)["run"], 1);

    auto stream = openStream(s, 1);
    ASSERT_EQ(stream->readHead(), 200);
    EXPECT_EQ(stream->header("content-type"), "text/event-stream");
    ViewState state = stateOfStep(7);
    ASSERT_TRUE(s.server.states().offer(state));
    const auto event = stream->nextEvent();
    ASSERT_TRUE(event);
    const json doc = json::parse(*event);
    EXPECT_EQ(doc["step"], 7);
    ASSERT_EQ(doc["persons"].size(), 3u);
    EXPECT_EQ(doc["persons"][2]["id"], 3);
    EXPECT_EQ(doc["persons"][2]["x"], 2.0);
}

TEST(ViewServer, RefusesUnknownPathsOtherMethodsAndBodies) {
    Served s;
    httplib::Client c = s.client();
    auto missing = c.Get("/favicon.ico");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
    auto deep = c.Get("/state/../etc/passwd");
    ASSERT_TRUE(deep);
    EXPECT_EQ(deep->status, 404);

    SseClient post(s.port());
    post.request("POST", "/state", "", std::string(100000, 'x'));
    EXPECT_EQ(post.readHead(), 405);
    EXPECT_EQ(post.header("connection"), "close");
    EXPECT_FALSE(post.nextEvent(5s)) << "the server hangs up after a refusal";
    SseClient body(s.port());
    body.request("GET", "/environment", "", "a body");
    EXPECT_EQ(body.readHead(), 413);
    SseClient chunked(s.port());
    chunked.request("GET", "/", "Transfer-Encoding: chunked\r\n");
    EXPECT_EQ(chunked.readHead(), 413);
    // The server is still there for everybody else.
    auto page = c.Get("/");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
}

TEST(ViewServer, TurnsAwayTheSeventeenthClientAndTakesOneWhenAnotherLeaves) {
    Served s;
    std::vector<std::unique_ptr<SseClient>> streams;
    for (int i = 1; i <= 16; ++i) streams.push_back(openStream(s, i));
    for (auto& c : streams) ASSERT_EQ(c->readHead(), 200);

    SseClient extra(s.port());
    extra.request("GET", "/state");
    EXPECT_EQ(extra.readHead(), 503);
    EXPECT_FALSE(extra.header("retry-after").empty());

    extra.close();
    streams.back()->close();  // leaving mid-stream
    ViewState state = stateOfStep(1);
    s.server.states().offer(state);  // the write that finds the socket gone
    ASSERT_TRUE(eventually([&] { return s.server.streams() == 15; }));
    auto again = openStream(s, 16);
    EXPECT_EQ(again->readHead(), 200);
}

TEST(ViewServer, StalledViewersNeverHoldUpOffersAndMissStatesInstead) {
    Served s;
    // Eight viewers that read nothing, with the smallest receive buffers the system allows:
    // their streams block in the kernel within a few states.
    std::vector<std::unique_ptr<SseClient>> stalled;
    for (int i = 1; i <= 8; ++i) stalled.push_back(openStream(s, i, 1024));

    ViewState state = stateOfStep(0, 400);  // some 25 kB a state
    int accepted = 0;
    int newest = 0;  // the last state the slot took
    for (int step = 1; step <= 3000; ++step) {
        state.step = step;
        if (s.server.states().offer(state)) {
            ++accepted;
            newest = step;
        }
        if (step % 100 == 0) std::this_thread::sleep_for(5ms);  // let the server take some
    }
    // The slot is busy only while the server takes a state; on a loaded machine (or under a
    // sanitizer) that can be often, but never for long: the loop above ran through regardless.
    EXPECT_GT(accepted, 0) << "the slot is busy only for an instant";

    // A viewer that reads is served the newest state, not a backlog.
    auto reader = openStream(s, 9);
    ASSERT_EQ(reader->readHead(), 200);
    const auto event = reader->nextEvent();
    ASSERT_TRUE(event);
    EXPECT_EQ(json::parse(*event)["step"], newest);

    // Viewers that go away mid-stream are let go.
    stalled.clear();
    EXPECT_TRUE(eventually([&] { return s.server.streams() == 1; }, 30s)) << s.server.streams();
}

TEST(ViewServer, AViewerGetsAtMostTwentyStatesASecond) {
    Served s;
    auto c = openStream(s, 1);
    ASSERT_EQ(c->readHead(), 200);
    std::atomic<bool> done = false;
    std::thread producer([&] {
        ViewState state = stateOfStep(0);
        for (int step = 1; !done; ++step) {
            state.step = step;
            s.server.states().offer(state);
            std::this_thread::sleep_for(1ms);
        }
    });
    int previous = -1;
    int skipped = 0;
    for (int i = 0; i < 5; ++i) {
        const auto event = c->nextEvent();
        ASSERT_TRUE(event);
        const int step = json::parse(*event)["step"];
        EXPECT_GT(step, previous);
        if (previous >= 0 && step > previous + 1) ++skipped;
        previous = step;
    }
    done = true;
    producer.join();
    // 50 ms between two states at 1 ms a state: the states between were never queued.
    EXPECT_GE(skipped, 3);
}

TEST(ViewServer, APortAlreadyTakenIsReportedNotShared) {
    Served first;
    ViewServer second;
    std::string error;
    EXPECT_FALSE(second.start({"127.0.0.1", first.port()}, error));
    EXPECT_NE(error.find("in use"), std::string::npos) << error;
    auto page = first.client().Get("/");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
}

}  // namespace
