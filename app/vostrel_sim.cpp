// vostrel-sim: the component's simulation without an ORB, on a simulated clock; for batch
// experiments, benchmarks and tests. Its console output is the component's own.
#include <CLI/CLI.hpp>

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/command_script.hpp"
#include "app/metrics_report.hpp"
#include "app/output_json.hpp"
#include "app/progress_line.hpp"
#include "app/run_recorder.hpp"
#include "display/debug_image_writer.hpp"
#include "display/gif_writer.hpp"
#include "display/run_display.hpp"
#include "environment/field_data.hpp"
#include "environment/spatial_network_builder.hpp"
#include "people/crowd_threads.hpp"
#include "platform/c_random.hpp"
#include "platform/clock.hpp"
#include "rtc/file_search.hpp"
#include "sim/config_file.hpp"
#include "sim/configuration.hpp"
#include "sim/field_file.hpp"
#include "sim/parameter_constraints.hpp"
#include "sim/simulation_run.hpp"
#include "web/run_view.hpp"

namespace {

using namespace vostrel;

struct Options {
    std::string field;
    std::vector<std::string> sets;
    std::string configFile;
    int cycles = 100;
    std::uint32_t period = 100;
    bool realtime = false;
    std::optional<std::uint32_t> seed;
    std::vector<double> velocity;
    std::string commandsFile;
    std::string outputFile;
    std::string metricsFile;
    std::string framesDir;
    bool window = false;
    bool check = false;
    bool noImages = false;
    bool quiet = false;
    std::vector<std::string> fieldFolders;  // besides the working directory
    bool annotate = false;
    double trails = 0.0;
    std::string gifFile;
    bool progress = false;
    std::string serve;
    int threads = 0;  // 0: the machine's cores
};

int check(const Options& o, const Configuration& config) {
    std::string path;
    const FieldData field = loadFieldFile(config.FieldDataFile, o.fieldFolders, std::cerr, &path);
    // Activation builds the network from whatever the loader kept, errors or not.
    DebugImageWriter writer;
    buildSpatialNetwork(field.environment(), std::cerr, std::cout, o.noImages ? nullptr : &writer);
    warnAboutSettings(config, field.environment(), std::cerr);
    if (loadedCleanly(field)) return 0;
    printStopPlace(path, field, std::cerr);
    return 1;
}

// --config first, then every --set in order, then --field. A FieldDataFile named by the
// configuration file may lie next to it.
bool configure(Options& o, Configuration& config) {
    if (!o.configFile.empty() && !readConfigFile(o.configFile, config, std::cerr)) return false;
    const std::string named = config.FieldDataFile;
    for (const std::string& set : o.sets) {
        const auto eq = set.find('=');
        std::string error;
        if (eq == std::string::npos) {
            std::cerr << "vostrel-sim: --set " << set << ": expected KEY=VALUE\n";
            return false;
        }
        if (!setParameter(config, set.substr(0, eq), set.substr(eq + 1), error)) {
            std::cerr << "vostrel-sim: --set " << set << ": " << error << "\n";
            return false;
        }
    }
    if (!o.field.empty()) config.FieldDataFile = o.field;
    if (!o.configFile.empty() && config.FieldDataFile == named)
        o.fieldFolders.push_back(rtc::folderOf(o.configFile));
    return true;
}

int run(const Options& o, const Configuration& config) {
    CommandScript script;
    if (!o.commandsFile.empty()) {
        auto read = readCommandScript(o.commandsFile, std::cerr);
        if (!read) return 1;
        script = std::move(*read);
    }
    if (!o.velocity.empty()) script[1] = {o.velocity[0], 0.0, o.velocity[1]};

    std::ofstream json;
    if (!o.outputFile.empty()) {
        json.open(o.outputFile);
        if (!json) {
            std::cerr << "vostrel-sim: cannot write " << o.outputFile << "\n";
            return 1;
        }
    }
    const std::uint32_t seed = o.seed.value_or(calendarSeed());
    if (!o.seed) std::cerr << "vostrel-sim: random seed " << seed << " (repeat with --seed)\n";

    std::ofstream nowhere;  // a stream without a buffer swallows everything
    nowhere.setstate(std::ios::badbit);
    std::ostream& out = o.quiet ? nowhere : std::cout;
    std::ostream& err = o.quiet ? nowhere : std::cerr;

    std::unique_ptr<GifWriter> gif;
    if (!o.gifFile.empty()) {
        gif = std::make_unique<GifWriter>(o.gifFile, static_cast<int>(o.period));
        if (!gif->ok()) {
            std::cerr << "vostrel-sim: cannot write " << o.gifFile << "\n";
            return 1;
        }
    }

    SimulatedClock simulated(0);
    SteadyClock steady;
    Clock& tick = o.realtime ? static_cast<Clock&>(steady) : simulated;
    RunOptions options;
    if (!o.noImages) options.debugImages = std::make_shared<DebugImageWriter>();
    options.fieldFolders = o.fieldFolders;
    const bool draw = o.window || !o.framesDir.empty() || gif;
    if (o.annotate && !draw)
        std::cerr << "vostrel-sim: --annotate has no effect without --window, --frames or --gif\n";

    SimulationRun sim(tick, steady, out, err, seed, options);
    std::optional<RunDisplay> display;
    if (draw) {
        display.emplace(
            RunDisplayOptions{{o.window, o.framesDir, gif.get()}, {o.annotate, o.trails}}, err);
        sim.addObserver(*display);
    }
    std::string error;
    const auto address = parseServeAddress(o.serve, error);
    const auto view = o.serve.empty() ? nullptr : RunView::open(sim, *address, err, "vostrel-sim");
    try {
        sim.activate(config);
    } catch (const std::exception& e) {
        // The crowd's warm-up can fail like any step.
        std::cerr << "vostrel-sim: activation stopped: " << e.what() << "\n";
        return 2;
    }
    if (!sim.environmentLoaded()) {
        std::cerr << "vostrel-sim: the environment file " << config.FieldDataFile
                  << " did not load (see above); nothing was run\n";
        return 1;
    }
    // Started after activation, whose network build would spoil the rate.
    const bool terminal = isatty(STDERR_FILENO) != 0;
    std::optional<ProgressLine> progress;
    if (o.progress || (o.quiet && terminal))
        progress.emplace(std::cerr, o.cycles, o.period, steady, terminal);
    std::optional<RunMetrics> metrics;
    if (!o.metricsFile.empty()) metrics.emplace(sim.environment().walls.all());
    const auto start = std::chrono::steady_clock::now();
    for (int cycle = 1; cycle <= o.cycles; ++cycle) {
        if (o.realtime)
            std::this_thread::sleep_until(start + std::chrono::milliseconds(o.period) * cycle);
        else
            simulated.advance(o.period);
        std::optional<VelocityCommand> command;
        if (const auto it = script.find(cycle); it != script.end()) command = it->second;
        try {
            sim.execute(config, command,
                        cycle == 1 && !o.velocity.empty() ? "--velocity" : o.commandsFile);
        } catch (const std::exception& e) {
            if (progress) progress->finish();
            std::cerr << "vostrel-sim: cycle " << cycle << " stopped the run: " << e.what() << "\n";
            sim.deactivate();
            return 2;
        }
        if (json.is_open()) json << toJson(sim.outputs()).dump() << '\n';
        if (progress) progress->update(cycle, sim.crowd()->persons().size());
        if (metrics) metrics->addCycle(sim.outputs(), personIds(sim));
    }
    if (progress) progress->finish();
    sim.deactivate();
    if (metrics && !reportMetrics(metrics->summary(), o.metricsFile, out, std::cerr)) return 1;
    if (!o.framesDir.empty() && !o.quiet)
        std::cerr << "vostrel-sim: display frames are in " << o.framesDir << "/\n";
    if (gif) {
        if (!gif->finish()) {
            std::cerr << "vostrel-sim: cannot write the animation " << o.gifFile << ": "
                      << gif->error() << "\n";
            return 1;
        }
        if (!o.quiet)
            std::cerr << "vostrel-sim: animation of " << gif->frames() << " frames in " << o.gifFile
                      << "\n";
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    CLI::App app{
        "vostrel-sim: runs the Vostrel robot-and-crowd simulation headless, without an "
        "ORB, on a simulated clock. The console shows what the component prints."};
    Options o;
    const Configuration defaults;
    app.add_option(
        "--field", o.field,
        "Environment file (default: the FieldDataFile parameter, " + defaults.FieldDataFile + ")");
    app.add_option("--set", o.sets,
                   "Set a parameter, KEY=VALUE; repeatable; any of the 31 "
                   "component parameters (e.g. --set simulate_skip=2)");
    app.add_option("--config", o.configFile,
                   "Component configuration file with conf.default.KEY: VALUE lines ('#' "
                   "comments); unknown keys are errors; read before --set. A relative "
                   "FieldDataFile in it is looked for next to it when not in the working "
                   "directory")
        ->check(CLI::ExistingFile);
    app.add_option("--cycles", o.cycles, "Number of cycles to run")
        ->capture_default_str()
        ->check(CLI::NonNegativeNumber);
    app.add_option("--period", o.period,
                   "Milliseconds per cycle: the simulated clock advances exactly this much")
        ->capture_default_str()
        ->check(CLI::Range(1u, 1000000u));
    app.add_flag("--realtime", o.realtime,
                 "Run on the real clock, sleeping to the period, instead of the simulated one");
    app.add_option("--seed", o.seed,
                   "Seed of the random sequence (default: calendar time, "
                   "printed so that the run can be repeated)");
    auto* velocity = app.add_option("--velocity", o.velocity,
                                    "A constant command VX,VA (m/s, rad/s) sent before the "
                                    "first cycle")
                         ->delimiter(',')
                         ->expected(2);
    app.add_option("--commands", o.commandsFile,
                   "Command file: lines CYCLE VX VA; each is delivered as a new sample at "
                   "that cycle")
        ->check(CLI::ExistingFile)
        ->excludes(velocity);
    app.add_option("--output", o.outputFile,
                   "Write the five port samples of every cycle as JSON lines to this file");
    app.add_option("--metrics", o.metricsFile,
                   "Print the run's metrics at the end and write them to this file as JSON");
    app.add_option("--frames", o.framesDir,
                   "Write the display image of every cycle as a numbered PNG into this directory");
    app.add_flag("--window", o.window, "Show the live window when a display is reachable");
    app.add_flag("--check", o.check,
                 "Load the environment and build its spatial network as activation does, print "
                 "what it prints, and exit: 0 when the file loaded without error, 1 when it "
                 "could not be read, held nothing or had an error (then a FILE:LINE:COLUMN: "
                 "line names the place)");
    app.add_flag("--no-images", o.noImages,
                 "Do not write the spatial network's debug images (Images/*.png)");
    app.add_flag("--quiet", o.quiet,
                 "Print nothing on the console (for benchmarks); on a terminal, show the "
                 "progress line instead");
    app.add_flag("--progress", o.progress,
                 "Show one progress line on standard error (cycle / total, simulated time, "
                 "persons, cycles per second, time left), also when it is not a terminal");
    auto* annotate =
        app.add_flag("--annotate", o.annotate,
                     "Annotate the picture (--window, --frames, --gif): time, step, persons, "
                     "seed, legend, scale bar, thinned laser rays, an arrow to a robot outside");
    app.add_option("--trails", o.trails, "With --annotate: draw the tracks of the last SEC seconds")
        ->type_name("SEC")
        ->check(CLI::Range(0.0, 86400.0))
        ->needs(annotate);
    app.add_option("--gif", o.gifFile,
                   "Write the display of every cycle into one looping GIF animation, one frame "
                   "per cycle shown for --period milliseconds");
    app.add_option("--serve", o.serve,
                   "Serve the live view in a browser at [ADDR:]PORT (address 127.0.0.1 unless "
                   "given; port 0: any free one, printed); best with --realtime")
        ->check([](const std::string& text) {
            std::string error;
            return parseServeAddress(text, error) ? std::string() : error;
        });
    app.add_option("--threads", o.threads,
                   "Threads for the crowd's parallel work (default: the machine's " +
                       std::to_string(CrowdThreads::machineCores()) +
                       " cores); results are the same for every count")
        ->check(CLI::Range(1, 1024));
    CLI11_PARSE(app, argc, argv);
    const CrowdThreads threads(o.threads);

    Configuration config;
    if (!configure(o, config)) return 1;
    if (o.check) return check(o, config);
    return run(o, config);
}
