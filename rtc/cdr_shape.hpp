#pragma once
// The layout of an IDL type's CDR encoding, compiled once from its type code, so that a
// payload from a peer can be checked before anything is decoded: omniORB's own decoder trusts
// sequence lengths of 2^30 and more (its overrun check overflows) and would allocate for them.

#include <omniORB4/CORBA.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace rtc {

class CdrShape {
  public:
    // Compiles a type code. Kinds without a fixed meaning in bare CDR (wide characters, any,
    // object references, unions, ...) make a shape that matches nothing.
    static CdrShape fromTypeCode(CORBA::TypeCode_ptr tc);

    // True when the bytes are exactly one encoding of the type: every length fits in what
    // remains, strings end with their NUL, booleans and enumerators are in range, and no byte
    // is left over. Alignment counts from the first byte. Work is bounded by size.
    bool matches(const void* data, std::size_t size, bool littleEndian) const;
    bool supported() const { return supported_; }

  private:
    enum class Kind : std::uint8_t { Primitive, Boolean, Enum, String, Sequence, Array, Struct };
    struct Node {
        Kind kind;
        std::uint32_t size = 0;     // Primitive: bytes (also its alignment, at most 8)
        std::uint32_t count = 0;    // Enum: members; Array: length; String/Sequence: bound or 0
        std::uint64_t minSize = 1;  // fewest bytes an element can take, for length checks
        std::vector<std::size_t> children;  // Struct: members; Sequence/Array: the element
    };
    class Reader;

    std::size_t add(CORBA::TypeCode_ptr tc, int depth);

    std::vector<Node> nodes_;
    bool supported_ = true;
};

}  // namespace rtc
