#pragma once
// Typed out-port for any IDL-generated struct T; write() sends the bound variable.

#include "rtc/cdr_codec.hpp"
#include "rtc/out_port_base.hpp"

namespace RTC {

template <typename DataType>
class OutPort : public OutPortBase {
  public:
    OutPort(const char* name, DataType& value)
        : OutPortBase(name, rtc::repositoryId<DataType>()), value_(value) {}

    bool write() { return write(value_); }
    bool write(const DataType& value) { return writePayload(rtc::encodeCdr(value)); }
    bool operator<<(const DataType& value) { return write(value); }

  private:
    DataType& value_;
};

}  // namespace RTC
