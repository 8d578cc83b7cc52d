// Whole simulation cycles, headless and silent, as vostrel-sim runs them: per example, with the
// crowd at its natural size after a warm-up, and with about 200 persons.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

#include "sim/simulation_run.hpp"

namespace {

using namespace vostrel;

const std::string kSource = VOSTREL_SOURCE_DIR;
const char* kExamples[] = {"office.txt", "station.txt", "cafeteria.txt"};

// The example with every entrance admitting a person about every 0.3 s.
std::string crowdedCopy(const std::string& example) {
    std::ifstream in(kSource + "/examples/" + example);
    std::string text{std::istreambuf_iterator<char>(in), {}};
    // Entrance records end with "mean, sd;"; the entrance block holds only those.
    const auto begin = text.find("Entrance");
    const auto end = text.find('}', begin);
    std::string block = text.substr(begin, end - begin);
    block = std::regex_replace(block, std::regex(R"(,\s*[0-9.]+,\s*[0-9.]+;)"), ", 0.3, 0.05;");
    text.replace(begin, end - begin, block);
    const std::string path = "/tmp/vostrel_bench_" + example;
    std::ofstream(path) << text;
    return path;
}

void runCycles(benchmark::State& state, const std::string& field, std::size_t targetPersons) {
    std::ofstream nowhere;
    nowhere.setstate(std::ios::badbit);
    SimulatedClock clock(0);
    SimulatedClock stats(0);
    RunOptions options;
    SimulationRun run(clock, stats, nowhere, nowhere, 1, options);
    Configuration c;
    c.FieldDataFile = field;
    c.robot_init_x = 5.0;
    c.robot_init_y = 2.0;
    run.activate(c);
    // Natural size: 3000 cycles (5 simulated minutes); or until the target is reached.
    for (int i = 0; i < 20000; ++i) {
        const std::size_t n = run.crowd()->persons().size();
        if (targetPersons == 0 ? i >= 3000 : n >= targetPersons) break;
        clock.advance(100);
        run.execute(c, std::nullopt);
    }
    for (auto _ : state) {
        clock.advance(100);
        run.execute(c, std::nullopt);
    }
    state.counters["persons"] = static_cast<double>(run.crowd()->persons().size());
    state.counters["x_realtime"] = benchmark::Counter(0.1 * static_cast<double>(state.iterations()),
                                                      benchmark::Counter::kIsRate);
}

void BM_CycleNatural(benchmark::State& state) {
    const char* example = kExamples[state.range(0)];
    state.SetLabel(example);
    runCycles(state, kSource + "/examples/" + example, 0);
}
BENCHMARK(BM_CycleNatural)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

void BM_Cycle200Persons(benchmark::State& state) {
    const char* example = kExamples[state.range(0)];
    state.SetLabel(example);
    runCycles(state, crowdedCopy(example), 200);
}
BENCHMARK(BM_Cycle200Persons)->DenseRange(0, 2)->Iterations(300)->Unit(benchmark::kMicrosecond);

}  // namespace
