#pragma once
// The ISDN form of the PSTN slots ("pstn" with `isdn`): a LAPD link on an
// HDLC channel of the D channel of its trunk, timeslot 16 of E1 trunk n on a
// primary rate access and channel 2 of port n (switch channel 4n + 2) on a
// basic access. Activation brings the channel up and asks for the link,
// which reports `activated` when it is established and `deactivated` when
// it is released or fails; a `userData` is one layer-3 message and every
// message received goes to the controller as `userData`. While activated,
// `isdnLinkInfo` and `hdlcLinkInfo` go out every report period, and every
// change between normal and congested goes out as `isdnLinkStatus`. A
// link follows the status of its trunk: a primary rate link that of its E1
// trunk, a basic access link that of its BRI port. Every ioctl is refused.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "signalling/hdlc_link_slot.h"
#include "signalling/isdn/isdn_link.h"

class PstnIsdnSlot : public HdlcLinkSlot, private ISDN::IsdnLink::Channel {
public:
    // The slot the parameters ask for; null, with a line after `header`,
    // when its trunk does not exist.
    static PstnIsdnSlot* New(LGCP::IsdnParams const& params, char const* header);

    bool IActivate(TERM::TermActivateParams const& params) override;
    bool IDeactivate() override;
    bool IUserData(std::vector<char> const& data) override;
    bool Ioctl(LGCP::IoctlParams const&) override { return false; }
    char const* GetName() const override { return "pstn"; }

    ISDN::IsdnLink const& link() const { return link_; }

private:
    PstnIsdnSlot(int trunk, bool basic_access, ISDN::IsdnLink::Settings const& settings);

    void OnFrame(uint8_t const* frame, size_t size) override { link_.OnFrame(frame, size); }
    void SendFrame(uint8_t const* frame, size_t size) override { hdlc_.Send(frame, size); }
    void Report() override;
    void OnLineDown() override { link_.LineDown(); }

    ISDN::IsdnLink link_;
};
