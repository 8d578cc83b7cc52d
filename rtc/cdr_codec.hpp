#pragma once
// Bare CDR payloads of data-port samples: no encapsulation octet, no header, alignment
// counted from the first byte. omniORB's read-only memory stream measures alignment
// from the buffer's address, so every payload we decode lives in 8-byte aligned storage.

#include <omniORB4/CORBA.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// The generated Any insertion operators live in the global namespace and are declared
// after this header; wrapping the value in a global-namespace type lets argument-dependent
// lookup find them when a port is instantiated.
template <typename T>
struct VostrelRtcAnyArg {
    const T& value;
    operator const T&() const { return value; }
};

namespace rtc {

class CdrPayload {
  public:
    CdrPayload() = default;
    CdrPayload(const void* data, std::size_t size, bool littleEndian)
        : words_((size + 7) / 8), size_(size), little_(littleEndian) {
        if (size != 0) {
            std::memcpy(words_.data(), data, size);
        }
    }

    const CORBA::Octet* data() const {
        return reinterpret_cast<const CORBA::Octet*>(words_.data());
    }
    std::size_t size() const { return size_; }
    bool littleEndian() const { return little_; }

  private:
    std::vector<std::uint64_t> words_;
    std::size_t size_ = 0;
    bool little_ = true;
};

// Marshals value little-endian (what every push sender does) into a payload.
template <typename T>
CdrPayload encodeCdr(const T& value) {
    cdrMemoryStream stream;
    stream.setByteSwapFlag(true);
    value >>= stream;
    return CdrPayload(stream.bufPtr(), stream.bufSize(), true);
}

// Unmarshals a payload; false (value untouched) if the bytes do not decode.
template <typename T>
bool decodeCdr(const CdrPayload& payload, T& value) {
    try {
        cdrMemoryStream stream(const_cast<CORBA::Octet*>(payload.data()), payload.size());
        stream.setByteSwapFlag(payload.littleEndian());
        T decoded;
        decoded <<= stream;
        value = decoded;
        return true;
    } catch (const CORBA::SystemException&) {
        return false;
    }
}

// The repository id of an IDL-generated type, from its type code.
template <typename T>
std::string repositoryId() {
    CORBA::Any any;
    const T sample{};
    any <<= VostrelRtcAnyArg<T>{sample};
    CORBA::TypeCode_var tc = any.type();
    return static_cast<const char*>(tc->id());
}

}  // namespace rtc
