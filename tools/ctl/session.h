#pragma once
// One run of the controller tool: connects to a server's control port, sends
// the messages given (from the arguments, or read from an input descriptor
// as they come), and prints every message that comes back, stamped with the
// time since the session began. After the last message it waits for the
// answers to what it sent (answer_bound_ms at most), stays connected wait_ms
// more for signals and closes; it ends at once when the server closes.

#include <sys/types.h>

#include <chrono>
#include <deque>
#include <ostream>
#include <string>
#include <vector>

#include "runtime/system/fd.h"
#include "server/tpkt_frame.h"
#include "tools/ctl/message_splitter.h"
#include "tools/ctl/message_text.h"

namespace Ctl {

struct Options {
    std::string host = "127.0.0.1";
    int port = 0;
    int wait_ms = 500;
    // Signals (what answers nothing) are printed too.
    bool signals = true;
    // One message each; when empty, the messages come from the input.
    std::vector<std::string> messages;
};

class Session {
public:
    static constexpr int answer_bound_ms = 5000;
    // Input is not read any further while this much is still to be written.
    static constexpr std::size_t output_high_water = 65536;

    enum Status { all_done = 0, message_failed = 1, cannot_run = 2 };

    // Messages print on `out`, errors on `err`; `input` is read only when the
    // options give no messages.
    Session(Options const& options, int input, std::ostream& out, std::ostream& err);

    Status run();

private:
    using Clock = std::chrono::steady_clock;

    bool connect();
    // Reads, checks and queues one message; `label` names it in errors,
    // whose positions count the text's first line as `first_line`.
    void queue(std::string const& text, std::string const& label, unsigned first_line = 1);
    void readInput();
    void queueInput(MessageText const& message);
    // False when the connection has ended.
    bool receive();
    bool flush();
    // Poll time-out for the closing phase: -1 while sending, 0 when done.
    int closingTimeout(Clock::time_point now);
    void reportEnd();
    void failed(std::string const& what);
    double seconds() const;

    Options const options_;
    int const input_;
    std::ostream& out_;
    std::ostream& err_;
    Clock::time_point const start_;

    Fd socket_;
    bool input_open_ = false;
    bool connection_open_ = false;
    bool failed_ = false;
    MessageSplitter splitter_;
    Tpkt::Frames frames_;

    Bytes output_;                        // frames not yet written
    std::deque<std::size_t> frame_ends_;  // end of each queued frame, in bytes queued
    std::size_t queued_bytes_ = 0;
    std::size_t written_bytes_ = 0;
    unsigned sent_ = 0;      // messages written whole
    unsigned answered_ = 0;  // responses received

    bool sending_done_ = false;
    Clock::time_point sent_at_;  // when the last message was written
    bool answers_done_ = false;
    Clock::time_point answered_at_;  // when the last answer came
};

}  // namespace Ctl
