#pragma once
// HDLC slots ("hdlc-slot"): raw HDLC frames between the controller and an
// HDLC channel on a trunk timeslot. Activation brings the channel up;
// frames received on the line go to the controller in batches as
// `hdlcPackages` results of the signal `ioctl`, the packages of an
// `hdlcPackages` ioctl go to the line, one frame each in list order (the
// ioctl itself is answered `unsupported`, as every ioctl to this slot), and
// `hdlcLinkInfo` goes out every report period while the channel is up.
// The slot reports `deactivated` when the channel cannot come up, when it
// is deactivated, and when its trunk leaves the normal state while the
// channel is up; the channel is then released, and the slot carries nothing
// until it is activated again.
//
// `address` from 0 to 255 lets through only the received frames whose first
// octet is that address (the others are counted and dropped); any other
// value lets every frame through. A non-zero `log` adds a dump of every
// frame to the slot's traces, which are written while "signalling.hdlc" is on.

#include <cstdint>
#include <vector>

#include "signalling/hdlc_link_slot.h"

class HdlcSlot : public HdlcLinkSlot {
public:
    // The most frames one hdlcPackages signal carries.
    static constexpr size_t batch = 16;

    HdlcSlot(int line, long address, bool log);

    bool IActivate(TERM::TermActivateParams const& params) override;
    bool IDeactivate() override;
    bool Ioctl(LGCP::IoctlParams const& params) override;
    char const* GetName() const override { return "hdlc-slot"; }

private:
    void OnFrame(uint8_t const* frame, size_t size) override;
    void OnLineDown() override;
    // Sends the frames received so far and releases the channel.
    void Stop();
    // Sends the frames received so far as one signal.
    void Flush();

    long const address_;
    bool const log_;
    std::vector<std::vector<char>> pending_;
    uint64_t filtered_ = 0;
    Timer flush_;
};
