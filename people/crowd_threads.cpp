#include "people/crowd_threads.hpp"

#include <charconv>
#include <ostream>
#include <thread>

namespace vostrel {

namespace {
constexpr int kMostThreads = 1024;
}  // namespace

CrowdThreads::CrowdThreads(int count) : count_(count > 0 ? count : machineCores()) {
    limit_ = std::make_unique<tbb::global_control>(tbb::global_control::max_allowed_parallelism,
                                                   static_cast<std::size_t>(count_));
}

CrowdThreads::~CrowdThreads() = default;

int CrowdThreads::machineCores() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(n);
}

CrowdThreads CrowdThreads::fromText(const std::string& text, const std::string& key,
                                    std::ostream& err) {
    if (text.empty()) return CrowdThreads();
    int n = 0;
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, n);
    if (ec != std::errc{} || at != end || n < 1 || n > kMostThreads) {
        err << "Error: " << key << " '" << text << "' is not a whole number from 1 to "
            << kMostThreads << "; using the machine's " << machineCores() << " cores." << std::endl;
        return CrowdThreads();
    }
    return CrowdThreads(n);
}

}  // namespace vostrel
