#pragma once
// The sending half of one out-port connection: a bounded queue and a thread of its own that
// makes the calls to the peer, so a slow or hung receiver never holds the writer longer
// than the writer chooses to wait.
//
// "flush": every sample is sent, in order; the writer waits for its delivery up to its
// budget, but not again while the connection is behind (a hung peer costs one budget).
// "new": the thread wakes on every write; "periodic": at publisher.push_rate. Both send
// what the push policy picks from the queue: all, fifo (the oldest), skip (every
// skip_count+1-th), new (the newest, the rest dropped).

#include "rtc/cdr_codec.hpp"
#include "rtc/properties.hpp"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace rtc {

class ConnectorSender {
  public:
    enum class Mode { Flush, New, Periodic };
    enum class Policy { All, Fifo, Skip, New };
    // Ok: taken by the peer (flush) or queued (new, periodic). Refused: the peer answered
    // with an error status. Lost: the peer is gone. Full: the queue refused the sample.
    // Late: flush sample still queued when the writer stopped waiting.
    enum class Result { Ok, Refused, Lost, Full, Late };

    struct Options {
        Mode mode = Mode::Flush;
        Policy policy = Policy::New;
        unsigned skipCount = 0;
        double pushRate = 1000.0;  // Hz, periodic only
        std::size_t length = 8;
        bool overwrite = true;  // queue full: drop the oldest, or refuse the new sample
    };
    // Reads dataport.subscription_type, dataport.publisher.* (also dataport.push_rate) and
    // dataport.outport.buffer.* / dataport.buffer.*. Returns an error text for a value
    // that cannot be honoured.
    static std::string parse(const coil::Properties& connectorProps, Options& out);

    using Send = std::function<Result(const CdrPayload&)>;
    using Lost = std::function<void()>;
    // send makes the call (Ok, Refused or Lost); lost runs once, on the sender's thread,
    // after which the sender takes nothing more.
    ConnectorSender(const Options& options, Send send, Lost lost);
    ~ConnectorSender();
    ConnectorSender(const ConnectorSender&) = delete;
    ConnectorSender& operator=(const ConnectorSender&) = delete;

    // Queues a sample; returns a ticket for waitDelivered, or 0 with result set when the
    // sample was not taken.
    std::uint64_t enqueue(const CdrPayload& payload, Result& result);
    // Flush: waits until the ticket's sample was sent or deadline passes. Other modes and
    // a connection that is behind answer at once.
    Result waitDelivered(std::uint64_t ticket, std::chrono::steady_clock::time_point deadline);
    // Ends the thread after the call in progress, if any, has returned or timed out.
    void stop();
    const Options& options() const { return options_; }

  private:
    struct Item {
        std::uint64_t ticket;
        CdrPayload payload;
    };
    void run();
    std::deque<Item> pick();

    Options options_;
    Send send_;
    Lost lost_;
    std::mutex mutex_;  // guards everything below
    std::condition_variable wake_;
    std::condition_variable delivered_;
    std::deque<Item> queue_;
    std::uint64_t nextTicket_ = 1;
    std::uint64_t doneTicket_ = 0;  // every ticket up to this one is settled
    Result lastResult_ = Result::Ok;
    std::uint64_t skipCounter_ = 0;
    bool busy_ = false;    // a call is in progress
    bool behind_ = false;  // a flush writer stopped waiting; not again until caught up
    bool stopping_ = false;
    bool gone_ = false;
    std::thread thread_;
};

}  // namespace rtc
