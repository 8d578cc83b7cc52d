#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string_view>

#include "sim/simulation_run.hpp"
#include "web/serve_address.hpp"
#include "web/view_server.hpp"
#include "web/view_state.hpp"

namespace vostrel {

// The live view of one simulation run: watches the run after its activation and after every
// cycle, copies what the page shows into a state and hands that to the server, never waiting
// for it. States are only made while somebody watches.
class RunView final : public RunObserver {
  public:
    // Serves the view of run at address and says where on console, or says why not and
    // returns nothing: the run goes on without the view then. program prefixes the lines.
    static std::unique_ptr<RunView> open(SimulationRun& run, const ServeAddress& address,
                                         std::ostream& console, std::string_view program);
    ~RunView() override;  // detaches from the run
    RunView(const RunView&) = delete;
    RunView& operator=(const RunView&) = delete;

    ViewServer& server() { return server_; }
    // What the run calls; public for tests and benchmarks that drive it directly.
    void observe(const SimulationRun& run, const Configuration& config) override;
    // States dropped because the server held the slot at that instant.
    std::uint64_t skipped() const { return skipped_; }

  private:
    explicit RunView(SimulationRun& run);
    void fill(const SimulationRun& run, const Configuration& config);

    SimulationRun& run_;
    ViewServer server_;
    ViewState state_;  // filled on the cycle's thread, swapped into the server's slot
    std::int32_t runs_ = 0;
    std::uint64_t skipped_ = 0;
};

// The component's form: the rtc.conf texts of the address and the port, port "0" or empty
// meaning off. A port that is no port number is reported naming its key.
std::unique_ptr<RunView> openRunView(SimulationRun& run, std::string_view address,
                                     std::string_view port, std::ostream& console,
                                     std::string_view program);

inline constexpr const char* kWebPortKey = "vostrel.web.port";
inline constexpr const char* kWebAddressKey = "vostrel.web.address";

}  // namespace vostrel
