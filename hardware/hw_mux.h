#pragma once
// The TDM cross-connect switch, driven through the switch requests of
// /dev/hal. Every hardware connection between two slots ends here, and the
// bus tests write and read single outputs through it. A channel is the
// driver's number of a switch port; the 16 internal buses of 128 timeslots
// are the outputs 8192 + 128 * bus + timeslot (8192 to 10239), whose state
// the switch keeps so that a deferred call can keep re-disabling the outputs
// that are off, 128 requests a loop pass. Other ports are passed to the
// driver as they come and not recorded.
//
// Opening the device switches every bus output off. An operation finds the
// device closed when it could not be opened, and tries again; failures are
// the result (false, or 255 for Read) and a line on the log stream.

#include <cstdint>

#include "runtime/loop/dpc.h"
#include "runtime/system/fd.h"

class HwMux {
public:
    static constexpr int first_bus_output = 8192;
    static constexpr int bus_outputs = 2048;
    static constexpr uint16_t disabled = 0xFFFF;
    static constexpr uint16_t constant = 0xFFFE;
    static constexpr unsigned char idle_byte = 0xD5;

    // The server's one switch, opened on first use.
    static HwMux& instance();

    HwMux();
    HwMux(HwMux const&) = delete;
    HwMux& operator=(HwMux const&) = delete;

    // True when /dev/hal is open; opens it when it is not.
    bool IsOpened();
    // Connects the output to the source channel.
    bool Connect(int source, int output);
    // Makes the output send the idle byte.
    bool Disconnect(int output);
    // Switches the output off.
    bool Disable(int output);
    // Makes the output send a constant byte.
    bool Write(int output, unsigned char byte);
    // The byte on a channel; 255 on failure.
    int Read(int channel);

    void RefreshChannel(int index);
    void OnDPC();

    // The recorded state of a bus output: disabled, constant, or the source.
    uint16_t output(int index) const { return table_[index]; }
    uint32_t cursor() const { return cursor_; }

private:
    // The index of a bus output in the table, or -1.
    static int index_of(int output);
    // Records the output's new state and issues the request: 0, the errno of
    // a failed request, or -1 when the device is closed or the output negative.
    int set_output(int output, uint16_t state, uint32_t request, unsigned char byte);

    Fd fd_;
    uint16_t table_[bus_outputs];
    uint32_t cursor_ = 0;
    Dpc refresh_;
};
