#pragma once

#include <iosfwd>
#include <memory>
#include <string>

#include <tbb/global_control.h>

namespace vostrel {

// How many threads the crowd's parallel work may use in this process, for as long as the
// object lives. Results do not depend on the count; only the speed does.
class CrowdThreads {
  public:
    // count 0: the machine's cores.
    explicit CrowdThreads(int count = 0);
    ~CrowdThreads();
    CrowdThreads(const CrowdThreads&) = delete;
    CrowdThreads& operator=(const CrowdThreads&) = delete;

    // From a setting's text: empty means the machine's cores; anything but a whole number
    // from 1 to 1024 is reported on err, naming the key, and the machine's cores are used.
    static CrowdThreads fromText(const std::string& text, const std::string& key,
                                 std::ostream& err);

    int count() const { return count_; }
    static int machineCores();

  private:
    int count_;
    std::unique_ptr<tbb::global_control> limit_;
};

}  // namespace vostrel
