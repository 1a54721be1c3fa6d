#pragma once
// An extended RTP slot: an RTP stream that carries radio signalling beside
// its voice, on an extended session of /dev/rtp_ext attached to the
// stream's RTP socket, with the radio control of its protocol. The radio
// factories make its Kvel and ED-137 kinds (kvel_radio_slot.h,
// ed137_radio_slot.h) and call OpenRadio once the stream is open.
//
// The control starts after the create is answered and stops before the
// session ends. The controller's `rtpExt` requests go to the control; a
// codec change stops the control and the radio stream, changes the RTP
// session and starts them again (also after a failed change that left the
// stream on its earlier codec). A failed change that left no RTP session
// leaves the radio stopped and tells the controller `abort` with the
// driver's errno. When the driver ends the RTP session, the control stops
// and the extended session closes with it. What the control reports goes to
// the controller: radio state as `rtpExt` signals, a radio failure as
// `abort` with its cause. The control's lines start with the slot's header.

#include <cstdint>
#include <memory>
#include <ostream>

#include "messages/term/term.h"
#include "rtp/radio/radio_control.h"
#include "rtp/radio/rtp_ext_session.h"
#include "rtp/rtp_slot.h"

class RtpExtSlot : public RtpSlot, public RTPSignalling::IRadioControlNotify {
public:
    RtpExtSlot(RtpSetup const& setup, uint16_t etype);
    ~RtpExtSlot() override;

    char const* GetName() const override { return "rtp ext"; }
    // "05:rtp ext KVEL (GW): ", the slot's number and kind.
    void PutHeader(std::ostream& os) const { os << *this << ": "; }

    // Opens the extended session with its control and sets the BSS, the
    // noise gate and the delays of the timeslot that the radio request
    // gives; false, with "rtp do not created: " and the reason after the
    // factory's header, when a step fails or a delay is negative.
    bool OpenRadio(SlotFactory const& factory, TERM::RtpRadioRequest const& radio);

    void RadioControlNotify(TERM::RtpRadioRequest const& request) override;
    void RadioControlNotify(int cause) override;
    void PutNotifyHeader(std::ostream& os) const override { PutHeader(os); }

protected:
    void IAfterCreate() override;
    bool IBeforeDestroy() override;
    bool Ioctl(LGCP::IoctlParams const& params) override;
    void OnSessionEnded() override;

    // The control of the slot's protocol, sending on the link.
    virtual std::unique_ptr<RTPSignalling::RadioControl> MakeControl(
        RTPSignalling::IRadioLink& link) = 0;

private:
    bool SetFeatures(TERM::RtpRadioRequest const& radio, std::ostream& err);
    bool ChangeCodec(LGCP::IoctlParams const& params);
    void StartRadio();
    void StopRadio();

    uint16_t const etype_;
    std::unique_ptr<RTPSignalling::RtpExtSession> session_;
    std::unique_ptr<RTPSignalling::RadioControl> control_;
};
