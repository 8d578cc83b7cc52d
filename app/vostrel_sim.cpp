// vostrel-sim: the simulation without an ORB, on a simulated clock; for batch runs and checks.
#include <CLI/CLI.hpp>

#include <iostream>
#include <string>

#include "component/configuration.hpp"
#include "display/debug_image_writer.hpp"
#include "environment/field_data.hpp"
#include "environment/spatial_network_builder.hpp"
#include "platform/c_random.hpp"

namespace {

int check(const vostrel::Configuration& config, std::uint32_t seed, bool images) {
    vostrel::CRandom rng(seed);
    const vostrel::FieldData field(config.FieldDataFile, rng, std::cerr);
    // Activation builds the network from whatever the loader kept, errors or not.
    vostrel::DebugImageWriter writer;
    vostrel::buildSpatialNetwork(field.environment(), std::cerr, std::cout,
                                 images ? &writer : nullptr);
    return field.opened() && field.ok() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Vostrel headless simulator: runs the robot-and-crowd simulation without an ORB."};
    vostrel::Configuration config;
    std::string field;
    bool checkOnly = false;
    bool noImages = false;
    std::uint32_t seed = vostrel::calendarSeed();
    app.add_option("--field", field, "Environment file (default: the FieldDataFile parameter, " +
                                         config.FieldDataFile + ")");
    app.add_flag("--check", checkOnly,
                 "Load the environment and build its spatial network as activation does, print "
                 "what it prints, and exit: 0 when the file loaded without error, 1 otherwise");
    app.add_flag("--no-images", noImages,
                 "Do not write the spatial network's debug images (Images/*.png)");
    app.add_option("--seed", seed, "Seed of the random sequence (default: calendar time)");
    CLI11_PARSE(app, argc, argv);
    if (!field.empty()) config.FieldDataFile = field;

    if (checkOnly) return check(config, seed, !noImages);
    std::cerr << "vostrel-sim: nothing to do yet; use --check\n";
    return 2;
}
