// Loader throughput on a large generated floor.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "environment/field_data.hpp"

namespace {

std::string generatedField(int walls, int destinations) {
    std::ostringstream f;
    f << "# generated\nWalls {\n";
    for (int i = 0; i < walls; ++i)
        f << "  " << (i % 1000) * 0.5 << ", " << (i / 1000) * 0.5 << ", " << (i % 1000) * 0.5 + 0.4
          << ", " << (i / 1000) * 0.5 + 0.25 << ";\n";
    f << "}\nEntrance { 1, 0.0, 1.0, 0.0, 3.0, 6.0, 2.0; }\nDestination {\n";
    const char* kinds[] = {"X, %d, 1.0, 2.0, 1.5, 2.0;", "P, %d, 3.25, 4.5, 0.5;",
                           "S, %d, 7.0, 8.0;", "Q, %d, 2.0, 2.0, 0.0, -0.5;"};
    char line[96];
    for (int i = 0; i < destinations; ++i) {
        std::snprintf(line, sizeof line, kinds[i % 4], i / 4);
        f << "  " << line << "\n";
    }
    f << "}\nActions { 0, P, 1, 1, 20.0, 5.0; 1, X, 1, 1, 0.0, 0.0; }\nFirstActions 0;\n";
    return f.str();
}

void BM_LoadField(benchmark::State& state) {
    const int walls = static_cast<int>(state.range(0));
    const int destinations = static_cast<int>(state.range(1));
    const std::string text = generatedField(walls, destinations);
    for (auto _ : state) {
        std::ostringstream err;
        auto field = vostrel::FieldData::fromText(text, err);
        benchmark::DoNotOptimize(field.environment().walls.count());
    }
    const auto records = static_cast<double>(walls + destinations + 4);
    state.counters["records/s"] = benchmark::Counter(
        records * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(static_cast<std::int64_t>(text.size()) * state.iterations());
}
BENCHMARK(BM_LoadField)->Args({100000, 10000})->Unit(benchmark::kMillisecond);

}  // namespace
