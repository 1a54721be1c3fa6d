#pragma once
// The far end of an SS7 link for the tests, on a channel's line socket of
// the simulated board, from a thread of its own: it aligns, acknowledges
// units in sequence, asks again for missing ones and retransmits its own on
// a negative acknowledgement. It can be made silent or busy, lose one of its
// units, or acknowledge units never sent.

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "runtime/system/fd.h"
#include "tests/support/bytes.h"

namespace support {

class Ss7Peer {
public:
    enum class Mode { answering, silent, busy };

    explicit Ss7Peer(std::string const& path);
    ~Ss7Peer();

    bool connected() const { return socket_.is_valid(); }
    void setMode(Mode mode);
    // Message units back to back, with no fill-in unit between them.
    void sendMessages(std::vector<Bytes> const& msus);
    // The next message unit takes its number but is lost on the line.
    void loseNextMessage();
    // Fill-in units acknowledging a number ahead of all sent.
    void sendBadBsn(int count);

    // What the peer saw, read under its lock: in service (fill-in units
    // came), the message units accepted in order ("03 01 02"), those received
    // again unasked, the kind of the last unit ("SIOS").
    struct Seen {
        bool in_service = false;
        std::vector<std::string> messages;
        unsigned received_twice = 0;
        std::string last_status;
    };
    // Waits until the predicate holds of what was seen, or the bound passes.
    bool waitFor(std::function<bool(Seen const&)> const& predicate,
                 std::chrono::milliseconds bound = std::chrono::seconds(3)) const;
    Seen seen() const;

private:
    void run();
    void onFrame(uint8_t const* frame, size_t size);
    void sendFill();
    void sendUnit(Bytes const& unit);
    Bytes unit(uint8_t kind_li, Bytes const& body, uint8_t fsn) const;

    Fd socket_;
    mutable std::mutex mutex_;
    std::thread thread_;
    bool stop_ = false;

    Mode mode_ = Mode::answering;
    Seen seen_;

    uint8_t fsn_ = 127;  // last sent
    bool fib_ = true;
    uint8_t bsn_ = 127;  // last accepted
    bool bib_ = true;
    bool lose_next_ = false;
    struct Held {
        uint8_t fsn;
        Bytes msu;
    };
    std::deque<Held> unacked_;
};

}  // namespace support
