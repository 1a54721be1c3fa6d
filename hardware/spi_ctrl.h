#pragma once
// The eight BRI framers (channels 0 to 7) that the board reaches over its
// SPI bus through /dev/hal. At start every channel is initialised and
// enabled; while a controller is connected each channel's status register is
// read once a period (a second) and reported as a `trunkStatus` of type
// `bri`; the clock-source service makes no channel the clock master through
// clock(-1); at exit every channel is disabled. It takes no command.
//
// A driver that answers ENODEV has no SPI bus: the service then switches
// itself off for the rest of the process ("spi: hal without spi"). While
// switched off, or without the device, channel operations and register
// accesses do nothing. Its messages go to the log stream.

#include <cstdint>

#include "runtime/loop/timer.h"
#include "runtime/system/fd.h"
#include "server/ctrl_server.h"

class spiCtrl : public CtrlSrv::Service {
public:
    static constexpr int channels = 8;
    static constexpr unsigned poll_period_ms = 1000;

    // The server's one service; the first call opens and initialises.
    static spiCtrl& instance();

    // Opens /dev/hal and initialises the channels. A shorter period is for
    // tests.
    explicit spiCtrl(unsigned period_ms = poll_period_ms);
    // Disables every channel and gives up the clock master.
    ~spiCtrl() override;

    // Opens and initialises when the device is not open and the service on.
    void init_device_and_channels();
    void init_channel(int channel);
    void enable_channel(int channel);
    void disable_channel(int channel);
    // -1: no channel is the clock master; 0 to 7: that one is.
    void clock(int channel);
    // Reports every channel, then polls again one period later.
    void status();
    // A register's value; 0 when it cannot be read.
    unsigned read(unsigned channel, unsigned address);
    void write(unsigned channel, unsigned address, unsigned value);

    void OnConnect() override;
    void OnDisconnect() override { poll_timer_.reset(); }
    bool OnCommand(LGCP::Command const&) override { return false; }

    bool enabled() const { return enabled_; }
    bool polling() const { return poll_timer_.is_running(); }
    int descriptor() const { return fd_.lowlevel_fd(); }

private:
    // Whether a channel operation may go on: the service is on, the channel
    // within 0 to 7 (else the complaint is logged), and the device open.
    bool ready(int channel, char const* complaint);
    // After a failed request: true when it failed with ENODEV, which means
    // the board has no SPI bus and switches the service off.
    bool no_spi();

    Fd fd_;
    Timer poll_timer_;
    bool enabled_ = true;
    // One latch for all channels, taken in channel order: a channel whose
    // slip bit is set reports a slip only while the latch is clear, and sets
    // it; a channel whose bit is clear clears it.
    bool slips_latch_ = false;
    unsigned period_ms_;
};
