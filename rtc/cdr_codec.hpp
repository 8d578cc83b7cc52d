#pragma once
// Bare CDR payloads of data-port samples: no encapsulation octet, no header, alignment
// counted from the first byte. omniORB's read-only memory stream measures alignment
// from the buffer's address, so every payload we decode lives in 8-byte aligned storage.

#include "rtc/cdr_shape.hpp"

#include <omniORB4/CORBA.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
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
    // The connection the payload arrived on (its name, else its id); empty when local.
    const std::string& origin() const {
        static const std::string none;
        return origin_ ? *origin_ : none;
    }
    void setOrigin(std::shared_ptr<const std::string> origin) { origin_ = std::move(origin); }

  private:
    std::vector<std::uint64_t> words_;
    std::shared_ptr<const std::string> origin_;
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

// The type code of an IDL-generated type.
template <typename T>
CORBA::TypeCode_ptr typeCodeOf() {
    CORBA::Any any;
    const T sample{};
    any <<= VostrelRtcAnyArg<T>{sample};
    return any.type();
}

template <typename T>
const CdrShape& cdrShapeOf() {
    static const CdrShape shape = [] {
        CORBA::TypeCode_var tc = typeCodeOf<T>();
        return CdrShape::fromTypeCode(tc.in());
    }();
    return shape;
}

// Unmarshals a payload; false (value untouched) if the bytes are not exactly one encoding of
// T. The shape check comes first, so a forged length never reaches omniORB's allocator.
template <typename T>
bool decodeCdr(const CdrPayload& payload, T& value) {
    if (!cdrShapeOf<T>().matches(payload.data(), payload.size(), payload.littleEndian())) {
        return false;
    }
    try {
        cdrMemoryStream stream(const_cast<CORBA::Octet*>(payload.data()), payload.size());
        stream.setByteSwapFlag(payload.littleEndian());
        T decoded;
        decoded <<= stream;
        value = decoded;
        return true;
    } catch (const CORBA::SystemException&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// The repository id of an IDL-generated type, from its type code.
template <typename T>
std::string repositoryId() {
    CORBA::TypeCode_var tc = typeCodeOf<T>();
    return static_cast<const char*>(tc->id());
}

}  // namespace rtc
