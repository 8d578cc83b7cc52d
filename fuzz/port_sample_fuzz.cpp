// Feeds arbitrary bytes to the in-port decoder of every data-port type the simulator and its
// follower exchange. A sample must either be refused or decode into a value whose encoding
// decodes to itself; a forged length must never turn into a large allocation (run with
// -malloc_limit_mb).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "IIS2.hh"
#include "LaserRangeSensorData.hh"
#include "MRFC.hh"
#include "OrvoGlobalPlanning.hh"
#include "rtc/cdr_codec.hpp"

namespace {

template <typename T>
void feed(const std::uint8_t* data, std::size_t size, bool little) {
    const rtc::CdrPayload payload(data, size, little);
    T value;
    if (!rtc::decodeCdr(payload, value)) return;
    const rtc::CdrPayload once = rtc::encodeCdr(value);
    T again;
    if (!rtc::decodeCdr(once, again)) std::abort();
    const rtc::CdrPayload twice = rtc::encodeCdr(again);
    if (once.size() != twice.size() || std::memcmp(once.data(), twice.data(), once.size()) != 0)
        std::abort();
}

}  // namespace

// omniORB's memory streams need an initialised ORB.
// The fuzzer's own options are not the ORB's.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    int argc = 0;
    static CORBA::ORB_var orb = CORBA::ORB_init(argc, nullptr);
    return 0;
}

// The first byte picks the type and the byte order; the rest is the sample.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const bool little = (data[0] & 0x80) == 0;
    const std::uint8_t* sample = data + 1;
    const std::size_t n = size - 1;
    switch (data[0] & 0x7f) {
        case 0:
            feed<IIS::TimedVelocity2D>(sample, n, little);
            break;
        case 1:
            feed<IIS::TimedPose2D>(sample, n, little);
            break;
        case 2:
            feed<SensorRTC::LaserRangeSensor::idl::TimedMeasuredData>(sample, n, little);
            break;
        case 3:
            feed<ZYK::TimedPersonsGlobalPosition>(sample, n, little);
            break;
        case 4:
            feed<MRFC::TimedPeopleTrackingData>(sample, n, little);
            break;
        default:
            break;
    }
    return 0;
}
