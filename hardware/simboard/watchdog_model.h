#pragma once
// The board's hardware watchdog /dev/misc/gw-wd. The main loop opens it
// itself, without the device layer, and writes "START" when it starts,
// "PING" at least once a second and "STOP" when it ends; no request goes to
// it. The board makes its file a named pipe that it reads from the loop and
// counts what the loop wrote, so a server on the simulated board keeps its
// watchdog as on the board. A description that marks the device absent
// removes the pipe, and the loop's open fails with ENOENT.
//
// Board-tool command:
//   watchdog                 not started, started with its pings, or stopped

#include <cstdint>
#include <string>

#include "hardware/simboard/model.h"
#include "runtime/loop/event.h"
#include "runtime/system/fd.h"

namespace SimBoard {

class WatchdogModel : public Model {
public:
    explicit WatchdogModel(Board& board) : Model(board) {}

    char const* name() const override { return "watchdog"; }
    char const* path() const override { return "/dev/misc/gw-wd"; }
    std::vector<Request> const& requests() const override;
    int serve(OpenFile&, Request const&, uint8_t*, unsigned long) override { return -ENOTTY; }
    void command(Words const& words, std::ostream& out) override;
    bool make_file(std::string const& file) override;

private:
    void on_readable(int fd, short revents);
    // Takes the whole words at the head of what was read.
    void take_words();

    // A writer of the board's own: the reader sees no hang-up while no
    // server has the watchdog open.
    Fd keeper_;
    Event event_;
    std::string pending_;
    enum class State { not_started, started, stopped } state_ = State::not_started;
    uint64_t starts_ = 0;
    uint64_t pings_ = 0;
    uint64_t unknown_bytes_ = 0;
};

}  // namespace SimBoard
