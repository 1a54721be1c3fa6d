#pragma once
// PSTN signalling slots ("pstn"). The SS7 form runs the level 2 of an SS7
// signalling link on an HDLC channel of its trunk timeslot: activation
// starts alignment and the link reports `activated` when it comes into
// service and `deactivated` when it fails or is taken out of service; a
// `userData` is one message unit (service information octet and signalling
// information field), and every message unit received in sequence goes to
// the controller as a `userData` signal. `ss7RqBSN` is answered at once
// with `ss7BSN`, `ss7Log` sets the link's traces, and while the channel is
// up `ss7LinkInfo` and `hdlcLinkInfo` go out every report period.
//
// The CAS form (cas_slot.h) drives channel-associated signalling instead.

#include <string>
#include <vector>

#include "signalling/hdlc_link_slot.h"
#include "signalling/ss7/mtp2_link.h"

class PstnSlot : public HdlcLinkSlot, private Ss7::Mtp2Link::User {
public:
    PstnSlot(int line, LGCP::SS7Params const& params);
    ~PstnSlot() override;

    bool IActivate(TERM::TermActivateParams const& params) override;
    bool IDeactivate() override;
    bool IUserData(std::vector<char> const& data) override;
    bool Ioctl(LGCP::IoctlParams const& params) override;
    char const* GetName() const override { return "pstn"; }

    Ss7::Mtp2Link const& link() const { return link_; }
    // How the link names itself: "SS7/L2 dpc=1, slc=3, trunk=16".
    void PutShortInfo(std::ostream& os) const;

private:
    // The channel's frames to the link and back.
    void OnFrame(uint8_t const* frame, size_t size) override;
    void Transmit(uint8_t const* unit, size_t size) override;
    void OnMessage(uint8_t const* msu, size_t size) override;
    void OnInService() override;
    void OnOutOfService() override;
    void OnTrace(std::string const& line) override;

    void Report() override;
    void OnLineDown() override;

    // The link's code and the point codes at its ends name the link in the
    // log; the controller's message units carry the routing themselves.
    long const slc_;
    long const dpc_;
    long const opc_;
    bool const emergency_;
    Ss7::Mtp2Link link_;
    uint64_t last_octets_tx_ = 0;
    uint64_t last_octets_rx_ = 0;
};
