#include "rtc/cdr_shape.hpp"

#include <cstring>
#include <stdexcept>

namespace rtc {

namespace {
// Generated types nest a few levels; a deeper type code is a recursive one.
constexpr int kMaxDepth = 32;

class Unsupported : public std::runtime_error {
  public:
    Unsupported() : std::runtime_error("unsupported type code") {}
};
}  // namespace

std::size_t CdrShape::add(CORBA::TypeCode_ptr tc, int depth) {
    if (depth > kMaxDepth) {
        throw Unsupported();
    }
    Node node{};
    node.minSize = 1;
    switch (tc->kind()) {
        case CORBA::tk_alias: {
            CORBA::TypeCode_var content = tc->content_type();
            return add(content.in(), depth + 1);
        }
        case CORBA::tk_octet:
        case CORBA::tk_char:
            node.kind = Kind::Primitive;
            node.size = node.minSize = 1;
            break;
        case CORBA::tk_boolean:
            node.kind = Kind::Boolean;
            node.size = node.minSize = 1;
            break;
        case CORBA::tk_short:
        case CORBA::tk_ushort:
            node.kind = Kind::Primitive;
            node.size = node.minSize = 2;
            break;
        case CORBA::tk_long:
        case CORBA::tk_ulong:
        case CORBA::tk_float:
            node.kind = Kind::Primitive;
            node.size = node.minSize = 4;
            break;
        case CORBA::tk_longlong:
        case CORBA::tk_ulonglong:
        case CORBA::tk_double:
            node.kind = Kind::Primitive;
            node.size = node.minSize = 8;
            break;
        case CORBA::tk_enum:
            node.kind = Kind::Enum;
            node.size = node.minSize = 4;
            node.count = tc->member_count();
            break;
        case CORBA::tk_string:
            node.kind = Kind::String;
            node.count = tc->length();
            node.minSize = 5;  // length and the NUL
            break;
        case CORBA::tk_sequence:
        case CORBA::tk_array: {
            node.kind = tc->kind() == CORBA::tk_sequence ? Kind::Sequence : Kind::Array;
            node.count = tc->length();
            CORBA::TypeCode_var content = tc->content_type();
            const std::size_t element = add(content.in(), depth + 1);
            node.children.push_back(element);
            node.minSize = node.kind == Kind::Sequence
                               ? 4
                               : std::max<std::uint64_t>(1, node.count * nodes_[element].minSize);
            break;
        }
        case CORBA::tk_struct:
        case CORBA::tk_except: {
            node.kind = Kind::Struct;
            node.minSize = 0;
            for (CORBA::ULong i = 0; i < tc->member_count(); ++i) {
                CORBA::TypeCode_var member = tc->member_type(i);
                const std::size_t child = add(member.in(), depth + 1);
                node.children.push_back(child);
                node.minSize += nodes_[child].minSize;
            }
            node.minSize = std::max<std::uint64_t>(node.minSize, 1);
            break;
        }
        default:
            throw Unsupported();
    }
    nodes_.push_back(std::move(node));
    return nodes_.size() - 1;
}

CdrShape CdrShape::fromTypeCode(CORBA::TypeCode_ptr tc) {
    CdrShape shape;
    try {
        shape.add(tc, 0);
    } catch (const Unsupported&) {
        shape.nodes_.clear();
        shape.supported_ = false;
    } catch (const CORBA::Exception&) {
        shape.nodes_.clear();
        shape.supported_ = false;
    }
    return shape;
}

// Walks one payload; every read is checked against the end before it happens.
class CdrShape::Reader {
  public:
    Reader(const std::vector<Node>& nodes, const std::uint8_t* data, std::size_t size, bool little)
        : nodes_(nodes), data_(data), size_(size), swap_(little != hostLittle()) {}

    bool walk(std::size_t index) {
        const Node& n = nodes_[index];
        switch (n.kind) {
            case Kind::Primitive:
                return skip(n.size, n.size);
            case Kind::Boolean: {
                if (pos_ >= size_ || data_[pos_] > 1) {
                    return false;
                }
                ++pos_;
                return true;
            }
            case Kind::Enum: {
                std::uint32_t value = 0;
                return readULong(value) && value < n.count;
            }
            case Kind::String: {
                std::uint32_t length = 0;
                if (!readULong(length) || length == 0 || length > size_ - pos_ ||
                    (n.count != 0 && length - 1 > n.count) || data_[pos_ + length - 1] != 0) {
                    return false;
                }
                pos_ += length;
                return true;
            }
            case Kind::Sequence: {
                std::uint32_t length = 0;
                if (!readULong(length) || (n.count != 0 && length > n.count)) {
                    return false;
                }
                return elements(n.children.front(), length);
            }
            case Kind::Array:
                return elements(n.children.front(), n.count);
            case Kind::Struct:
                for (std::size_t child : n.children) {
                    if (!walk(child)) {
                        return false;
                    }
                }
                return true;
        }
        return false;
    }

    bool atEnd() const { return pos_ == size_; }

  private:
    static bool hostLittle() {
        const std::uint16_t probe = 1;
        std::uint8_t first = 0;
        std::memcpy(&first, &probe, 1);
        return first == 1;
    }

    bool align(std::size_t alignment) {
        const std::size_t aligned = (pos_ + alignment - 1) / alignment * alignment;
        if (aligned > size_) {
            return false;
        }
        pos_ = aligned;
        return true;
    }

    bool skip(std::size_t alignment, std::uint64_t bytes) {
        if (!align(alignment) || bytes > size_ - pos_) {
            return false;
        }
        pos_ += static_cast<std::size_t>(bytes);
        return true;
    }

    bool readULong(std::uint32_t& value) {
        if (!align(4) || size_ - pos_ < 4) {
            return false;
        }
        std::uint8_t b[4];
        std::memcpy(b, data_ + pos_, 4);
        if (swap_) {
            std::swap(b[0], b[3]);
            std::swap(b[1], b[2]);
        }
        std::memcpy(&value, b, 4);
        pos_ += 4;
        return true;
    }

    // The length is weighed against the bytes left before any element is looked at, in 64
    // bits, so that a huge count costs nothing.
    bool elements(std::size_t index, std::uint64_t count) {
        const Node& element = nodes_[index];
        if (count == 0) {
            return true;
        }
        if (count * element.minSize > size_ - pos_) {
            return false;
        }
        if (element.kind == Kind::Primitive) {
            // Primitive runs are contiguous once the first is aligned.
            return skip(element.size, count * element.size);
        }
        for (std::uint64_t i = 0; i < count; ++i) {
            if (!walk(index)) {
                return false;
            }
        }
        return true;
    }

    const std::vector<Node>& nodes_;
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    bool swap_;
};

bool CdrShape::matches(const void* data, std::size_t size, bool littleEndian) const {
    if (!supported_ || nodes_.empty()) {
        return false;
    }
    Reader reader(nodes_, static_cast<const std::uint8_t*>(data), size, littleEndian);
    return reader.walk(nodes_.size() - 1) && reader.atEnd();
}

}  // namespace rtc
