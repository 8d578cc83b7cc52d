#pragma once
// The in-port's ring buffer of received payloads, shared by all its push connections.
// Defaults: 8 entries, the oldest is overwritten when full, and reading an empty buffer
// hands back the last value again.

#include "rtc/cdr_codec.hpp"
#include "rtc/properties.hpp"

#include <deque>
#include <mutex>
#include <optional>

namespace rtc {

class ReceiveBuffer {
  public:
    enum class PutResult { Ok, Full };

    // Reads "length", "write.full_policy" and "read.empty_policy" from a buffer node.
    void configure(const coil::Properties& bufferProps);
    PutResult put(CdrPayload payload);
    // Oldest unread payload; with the readback policy the last one read when none is new.
    std::optional<CdrPayload> read();
    bool isNew() const;
    std::size_t unread() const;

  private:
    mutable std::mutex mutex_;
    std::deque<CdrPayload> queue_;
    std::optional<CdrPayload> last_;
    std::size_t length_ = 8;
    bool overwrite_ = true;
    bool readback_ = true;
};

}  // namespace rtc
