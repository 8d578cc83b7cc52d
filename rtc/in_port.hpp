#pragma once
// Typed in-port for any IDL-generated struct T; read() decodes into the bound variable.

#include "rtc/cdr_codec.hpp"
#include "rtc/in_port_base.hpp"

namespace RTC {

template <typename DataType>
class InPort : public InPortBase {
  public:
    InPort(const char* name, DataType& value)
        : InPortBase(name, rtc::repositoryId<DataType>()), value_(value) {
        // Decoded once on arrival (on the ORB's thread), so that what cannot be read is
        // refused to the sender instead of being found only by the reader.
        setDecodes([](const rtc::CdrPayload& payload) {
            DataType scratch;
            return rtc::decodeCdr(payload, scratch);
        });
    }

    // Decodes the oldest unread sample (or, when none is new, the last one again) into
    // the bound variable. False if nothing was ever received or the payload is corrupt.
    bool read() { return read(value_); }
    bool read(DataType& out) {
        auto payload = readPayload();
        return payload && rtc::decodeCdr(*payload, out);
    }
    bool operator>>(DataType& out) { return read(out); }

  private:
    DataType& value_;
};

}  // namespace RTC
