#include "rtc/connector_sender.hpp"

#include "rtc/fixed_deadline.hpp"
#include "rtc/string_util.hpp"

#include <cerrno>
#include <cstdlib>

namespace rtc {

namespace {
// The text of the first of keys that is set, lower-cased and trimmed.
std::string firstOf(const coil::Properties& props, std::initializer_list<const char*> keys) {
    for (const char* key : keys) {
        std::string value = toLower(trim(props.getProperty(key)));
        if (!value.empty()) {
            return value;
        }
    }
    return {};
}

bool toNumber(const std::string& text, double& out) {
    char* end = nullptr;
    errno = 0;
    out = std::strtod(text.c_str(), &end);
    return errno == 0 && end != text.c_str() && *end == '\0';
}
}  // namespace

std::string ConnectorSender::parse(const coil::Properties& props, Options& out) {
    out = Options{};
    std::string type = firstOf(props, {"dataport.subscription_type"});
    if (type.empty() || type == "flush") {
        out.mode = Mode::Flush;
    } else if (type == "new") {
        out.mode = Mode::New;
    } else if (type == "periodic") {
        out.mode = Mode::Periodic;
    } else {
        return "unsupported subscription type '" + type + "'";
    }

    std::string policy = firstOf(props, {"dataport.publisher.push_policy"});
    if (policy.empty() || policy == "new") {
        out.policy = Policy::New;
    } else if (policy == "all") {
        out.policy = Policy::All;
    } else if (policy == "fifo") {
        out.policy = Policy::Fifo;
    } else if (policy == "skip") {
        out.policy = Policy::Skip;
    } else {
        return "unsupported push policy '" + policy + "'";
    }
    if (out.mode == Mode::Flush) {
        out.policy = Policy::All;  // a flush connection delivers every sample
    }

    double number = 0;
    std::string skip = firstOf(props, {"dataport.publisher.skip_count"});
    if (!skip.empty()) {
        if (!toNumber(skip, number) || number < 0 || number > 1e6) {
            return "dataport.publisher.skip_count '" + skip + "' is not a count";
        }
        out.skipCount = static_cast<unsigned>(number);
    }
    std::string rate = firstOf(props, {"dataport.publisher.push_rate", "dataport.push_rate"});
    if (!rate.empty()) {
        if (!toNumber(rate, number) || !(number > 0) || number > 1e6) {
            return "dataport.publisher.push_rate '" + rate + "' is not a rate in Hz";
        }
        out.pushRate = number;
    } else if (out.mode == Mode::Periodic) {
        out.pushRate = 100.0;
    }

    std::string length =
        firstOf(props, {"dataport.outport.buffer.length", "dataport.buffer.length"});
    if (!length.empty()) {
        if (!toNumber(length, number) || number < 1 || number > 1e6) {
            return "buffer length '" + length + "' is not a positive count";
        }
        out.length = static_cast<std::size_t>(number);
    }
    std::string full = firstOf(
        props, {"dataport.outport.buffer.write.full_policy", "dataport.buffer.write.full_policy"});
    // "block" would hold the writer; the writer never waits on the queue, so it refuses.
    out.overwrite = full.empty() || full == "overwrite";
    return {};
}

ConnectorSender::ConnectorSender(const Options& options, Send send, Lost lost)
    : options_(options), send_(std::move(send)), lost_(std::move(lost)) {
    thread_ = std::thread([this] { run(); });
}

ConnectorSender::~ConnectorSender() {
    stop();
}

void ConnectorSender::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    delivered_.notify_all();
    if (!thread_.joinable()) {
        return;
    }
    if (thread_.get_id() == std::this_thread::get_id()) {
        thread_.detach();  // released from within lost_, on the way out of run()
    } else {
        thread_.join();
    }
}

std::uint64_t ConnectorSender::enqueue(const CdrPayload& payload, Result& result) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (gone_ || stopping_) {
        result = Result::Lost;
        return 0;
    }
    if (queue_.size() >= options_.length) {
        if (!options_.overwrite) {
            result = Result::Full;
            return 0;
        }
        queue_.pop_front();
    }
    std::uint64_t ticket = nextTicket_++;
    queue_.push_back(Item{ticket, payload});
    result = Result::Ok;
    if (options_.mode != Mode::Periodic) {
        wake_.notify_one();
    }
    return ticket;
}

ConnectorSender::Result ConnectorSender::waitDelivered(
    std::uint64_t ticket, std::chrono::steady_clock::time_point deadline) {
    if (options_.mode != Mode::Flush || ticket == 0) {
        return Result::Ok;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (behind_) {
        if (doneTicket_ + 1 < ticket) {
            return Result::Late;  // earlier samples still wait: do not wait behind them
        }
        behind_ = false;  // caught up
    }
    bool settled = delivered_.wait_until(
        lock, deadline, [&] { return doneTicket_ >= ticket || gone_ || stopping_; });
    if (gone_) {
        return Result::Lost;
    }
    if (!settled || doneTicket_ < ticket) {
        behind_ = true;
        return Result::Late;
    }
    return lastResult_;
}

std::deque<ConnectorSender::Item> ConnectorSender::pick() {
    std::deque<Item> batch;
    if (queue_.empty()) {
        return batch;
    }
    switch (options_.policy) {
        case Policy::All:
            batch.swap(queue_);
            break;
        case Policy::Fifo:
            batch.push_back(std::move(queue_.front()));
            queue_.pop_front();
            break;
        case Policy::New:
            batch.push_back(std::move(queue_.back()));
            queue_.clear();
            break;
        case Policy::Skip:
            for (auto& item : queue_) {
                if (skipCounter_++ % (options_.skipCount + 1) == 0) {
                    batch.push_back(std::move(item));
                } else {
                    doneTicket_ = item.ticket;  // skipped samples count as settled
                }
            }
            queue_.clear();
            break;
    }
    return batch;
}

void ConnectorSender::run() {
    auto tick = std::chrono::steady_clock::now();
    for (;;) {
        std::deque<Item> batch;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (options_.mode == Mode::Periodic) {
                tick = nextDeadline(tick, periodOf(options_.pushRate),
                                    std::chrono::steady_clock::now());
                wake_.wait_until(lock, tick, [this] { return stopping_; });
            } else {
                wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            }
            if (stopping_) {
                return;
            }
            batch = pick();
            busy_ = !batch.empty();
            if (!busy_) {
                delivered_.notify_all();
                continue;
            }
        }
        for (std::size_t i = 0; i < batch.size(); ++i) {
            Result result = send_(batch[i].payload);
            bool stop = false;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                doneTicket_ = batch[i].ticket;
                lastResult_ = result;
                if (result == Result::Lost) {
                    gone_ = true;
                    queue_.clear();
                }
                busy_ = busy_ && i + 1 < batch.size() && !gone_;
                stop = stopping_ || gone_;
            }
            delivered_.notify_all();
            if (result == Result::Lost) {
                lost_();
            }
            if (stop) {
                return;
            }
        }
    }
}

}  // namespace rtc
