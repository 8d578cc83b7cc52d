// What the live view costs the cycle: whole simulation cycles on the station example with no
// view, with the view and nobody watching, with one viewer reading every state and with eight
// viewers that read nothing; and the server-side cost of encoding one state.
#include <benchmark/benchmark.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "sim/simulation_run.hpp"
#include "tests/web/sse_client.hpp"
#include "web/run_view.hpp"
#include "web/view_json.hpp"

namespace {

using namespace vostrel;

const std::string kSource = VOSTREL_SOURCE_DIR;

enum Viewers { kNoView = -1, kNobody = 0, kOneReader = 1, kEightStalled = 8 };

// A viewer that reads every state it is sent, on its own thread.
class Reader {
  public:
    explicit Reader(int port) : client_(port) {
        client_.request("GET", "/state");
        thread_ = std::thread([this] {
            client_.readHead();
            while (!done_) client_.nextEvent(std::chrono::milliseconds(200));
        });
    }
    ~Reader() {
        done_ = true;
        thread_.join();
    }

  private:
    webtest::SseClient client_;
    std::atomic<bool> done_ = false;
    std::thread thread_;
};

void waitForStreams(ViewServer& server, int n) {
    while (server.streams() < n) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

// A run of the station example warmed up for a simulated minute, watched as asked. Every
// variant runs the same cycles: same seed, same warm-up.
struct WatchedRun {
    explicit WatchedRun(Viewers viewers) {
        nowhere.setstate(std::ios::badbit);
        RunOptions options;
        run = std::make_unique<SimulationRun>(clock, stats, nowhere, nowhere, 1, options);
        if (viewers != kNoView) view = RunView::open(*run, {"127.0.0.1", 0}, nowhere, "bench");
        if (viewers == kOneReader) {
            reader = std::make_unique<Reader>(view->server().port());
            waitForStreams(view->server(), 1);
        }
        if (viewers == kEightStalled) {
            for (int i = 0; i < 8; ++i) {
                stalled.push_back(
                    std::make_unique<webtest::SseClient>(view->server().port(), 1024));
                stalled.back()->request("GET", "/state");
            }
            waitForStreams(view->server(), 8);
        }
        config.FieldDataFile = kSource + "/examples/station.txt";
        config.simulate_skip = 1;
        run->activate(config);
        for (int i = 0; i < 600; ++i) cycle();
    }
    void cycle() {
        clock.advance(100);
        run->execute(config, std::nullopt);
    }

    std::ofstream nowhere;
    SimulatedClock clock{0};
    SimulatedClock stats{0};
    Configuration config;
    std::unique_ptr<SimulationRun> run;
    std::unique_ptr<RunView> view;
    std::unique_ptr<Reader> reader;
    std::vector<std::unique_ptr<webtest::SseClient>> stalled;
};

void counters(benchmark::State& state, const WatchedRun& w) {
    state.counters["persons"] = static_cast<double>(w.run->crowd()->persons().size());
    if (w.view) state.counters["skipped"] = static_cast<double>(w.view->skipped());
}

// Whole cycles, the hook included.
void cycles(benchmark::State& state) {
    WatchedRun w(static_cast<Viewers>(state.range(0)));
    for (auto _ : state) w.cycle();
    counters(state, w);
}
BENCHMARK(cycles)
    ->ArgName("viewers")
    ->Arg(kNoView)
    ->Arg(kNobody)
    ->Arg(kOneReader)
    ->Arg(kEightStalled)
    ->Iterations(3000)
    ->Unit(benchmark::kMicrosecond);

// The hook alone, as the cycle calls it: copy the state and hand it over.
void hook(benchmark::State& state) {
    WatchedRun w(static_cast<Viewers>(state.range(0)));
    for (auto _ : state) w.view->observe(*w.run, w.config);
    counters(state, w);
}
BENCHMARK(hook)
    ->ArgName("viewers")
    ->Arg(kNobody)
    ->Arg(kOneReader)
    ->Arg(kEightStalled)
    ->Unit(benchmark::kMicrosecond);

// The server's side: one state of 200 persons to JSON.
void encodeState(benchmark::State& state) {
    ViewState s;
    for (int i = 0; i < 200; ++i)
        s.persons.push_back({i, {0.37 * i, 11.3 + 0.01 * i}, {0.8, -0.3}});
    for (int i = 0; i < 180; ++i) s.laser.push_back({1.0 + 0.1 * i, 2.0});
    s.seatOccupants.assign(24, -1);
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string json = stateJson(s);
        bytes = json.size();
        benchmark::DoNotOptimize(json.data());
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(encodeState)->Unit(benchmark::kMicrosecond);

}  // namespace
