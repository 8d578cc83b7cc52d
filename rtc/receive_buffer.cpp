#include "rtc/receive_buffer.hpp"

#include "rtc/string_util.hpp"

#include <cstdlib>

namespace rtc {

void ReceiveBuffer::configure(const coil::Properties& bufferProps) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string& length = bufferProps.getProperty("length");
    if (!length.empty()) {
        long n = std::strtol(length.c_str(), nullptr, 10);
        if (n > 0) {
            length_ = static_cast<std::size_t>(n);
        }
    }
    const std::string& full = bufferProps.getProperty("write.full_policy");
    if (!full.empty()) {
        // "block" has no writer thread of ours to block; it behaves like do_nothing.
        overwrite_ = toLower(trim(full)) == "overwrite";
    }
    const std::string& empty = bufferProps.getProperty("read.empty_policy");
    if (!empty.empty()) {
        readback_ = toLower(trim(empty)) == "readback";
    }
    while (queue_.size() > length_) {
        queue_.pop_front();
    }
}

ReceiveBuffer::PutResult ReceiveBuffer::put(CdrPayload payload) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (queue_.size() >= length_) {
        if (!overwrite_) {
            return PutResult::Full;
        }
        queue_.pop_front();
    }
    queue_.push_back(std::move(payload));
    return PutResult::Ok;
}

std::optional<CdrPayload> ReceiveBuffer::read() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!queue_.empty()) {
        last_ = std::move(queue_.front());
        queue_.pop_front();
        return last_;
    }
    if (readback_) {
        return last_;
    }
    return std::nullopt;
}

bool ReceiveBuffer::isNew() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !queue_.empty();
}

std::size_t ReceiveBuffer::unread() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return queue_.size();
}

}  // namespace rtc
