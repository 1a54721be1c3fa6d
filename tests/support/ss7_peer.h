#pragma once
// The far end of an SS7 link for the tests: it connects to a channel's line
// socket on the simulated board and plays the peer's level 2 from a thread
// of its own. It aligns with whatever the link sends (answering each status
// unit with normal alignment, then fill-in units), accepts message units in
// sequence and acknowledges them, asks for a retransmission when one is
// missing, and retransmits its own on a negative acknowledgement. The test
// can make it silent, busy (it then discards what it receives and sends
// busy status units), lose one of its own message units on the way, or send
// a unit whose backward sequence number acknowledges nothing sent.

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

    // Connects to the line socket at this path (under the root); the thread
    // starts at once.
    explicit Ss7Peer(std::string const& path);
    ~Ss7Peer();
    Ss7Peer(Ss7Peer const&) = delete;
    Ss7Peer& operator=(Ss7Peer const&) = delete;

    bool connected() const { return socket_.is_valid(); }
    void setMode(Mode mode);
    // Sends a message unit with the next forward sequence number.
    void sendMessage(Bytes const& msu) { sendMessages({msu}); }
    // Sends message units back to back, with no fill-in unit between them.
    void sendMessages(std::vector<Bytes> const& msus);
    // The next message unit is lost on the line: its sequence number is
    // taken and it waits for retransmission.
    void loseNextMessage();
    // Fill-in units, back to back, acknowledging a sequence number ahead of
    // all sent.
    void sendBadBsn(int count);

    // Whether the link has sent fill-in units and the peer answers them.
    bool inService() const;
    // The message units accepted in sequence, in order, as "03 01 02".
    std::vector<std::string> messages() const;
    // Message units received again after acceptance (retransmissions the
    // peer did not ask for).
    unsigned receivedTwice() const;
    // Units of the last received kind, "SIOS" for out-of-service status.
    std::string lastStatus() const;
    // Waits until the predicate holds or the bound passes.
    bool waitFor(std::function<bool()> const& predicate,
                 std::chrono::milliseconds bound = std::chrono::seconds(3)) const;

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
    bool in_service_ = false;
    std::string last_status_;
    std::vector<std::string> messages_;
    unsigned received_twice_ = 0;

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
