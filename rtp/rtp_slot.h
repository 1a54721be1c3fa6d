#pragma once
// An RTP slot: a TDM channel of the board's RTP engine bridged to one RTP
// stream, with the tone and DSP receivers on its timeslot.
//
// Open() sets the stream up from its checked settings: the RTP driver's
// device, the stream's UDP socket on the local port (attached to the
// driver's session) and its RTCP socket on the port above, the driver
// session with the stream's payload types and options, and the switch port
// of the session's channel, which is the slot's transmit and receive
// channel. When a step fails, everything done before is undone. The stream
// announces itself on RTCP after the create is answered and says goodbye
// when it is destroyed, which also ends the session, closes the device and
// the sockets and switches the port's output off.
//
// When the driver ends the session (a hang-up, end of file or a read error
// on its descriptor) the slot lets go at once of everything the session
// held: its connections and the switch port's output, the receivers of its
// timeslot, the stream's sockets (saying goodbye on RTCP) and the device,
// whose port the board may then give to another slot. The controller gets
// `abort` once, with the errno of the read or EPIPE for an end; the slot
// then refuses connections and requests, and its destroy touches nothing.
//
// The driver's events (packet detection) reach the controller as the
// slot's rtp signals; the controller's requests drive the receivers, packet
// detection and the codec of each direction (a change restarts the
// session). A slot that builds on an RTP stream derives from RtpSlot and
// uses its hooks: the session's start and end, and Ioctl, IAfterCreate and
// IBeforeDestroy, whose RtpSlot forms it calls for what it does not do.

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>

#include "rtp/rtcp.h"
#include "rtp/rtp_setup.h"
#include "runtime/loop/event.h"
#include "runtime/system/fd.h"
#include "slots/receiving_slot.h"
#include "slots/slot.h"

class SlotFactory;

class RtpSlot : public ReceivingSlot<Slot> {
public:
    explicit RtpSlot(RtpSetup const& setup);
    ~RtpSlot() override;

    // Sets the stream up; false, with the failed step on the error stream
    // after the factory's header and everything undone, when it cannot.
    bool Open(SlotFactory const& factory);

    char const* GetName() const override { return "rtp"; }
    // "rtp[TIMESLOT]: "
    void PutHeader(std::ostream& os) const;

    using TonecReceiver::echoCancel;
    bool enablePD(int timeout_ms);
    bool disablePD();

    int timeslot() const { return timeslot_; }
    RtpSetup const& setup() const { return setup_; }
    Rtcp::RtcpReporter const* rtcp() const { return rtcp_.get(); }

protected:
    // Marks both streams present, then announces the stream on RTCP.
    void IAfterCreate() override;
    // Says goodbye on RTCP and closes everything; true.
    bool IBeforeDestroy() override;
    // The receivers, packet detection and the codec of each direction;
    // false for every other request.
    bool Ioctl(LGCP::IoctlParams const& params) override;
    // A slot whose session the driver ended has no streams to connect.
    bool IOnOutputStream() override { return !ended_; }
    bool IOnInputStream() override { return !ended_; }
    void IOnOutputRelease() override {}
    void IOnInputRelease() override {}
    int IGetTransmitChannel() override { return timeslot_; }
    int IGetReceiveChannel() override { return timeslot_; }

    // The session has started (on Open and on every restart): false fails
    // the step. It is about to end (on destroy and on every restart).
    virtual bool OnSessionOpen() { return true; }
    virtual void OnSessionClose() {}
    // The driver has ended the session: let go of what rides on it, before
    // the slot lets go of the rest and tells the controller.
    virtual void OnSessionEnded() {}

    // Ends the session and starts it again with these payload types; false,
    // with the session on the earlier types again, when it cannot.
    bool RestartSession(uint16_t rx_pt, uint16_t tx_pt);
    // Whether the driver holds a session of the slot just now.
    bool has_session() const { return session_; }
    bool ended() const { return ended_; }
    // The errno of the last driver request that failed.
    int error() const { return error_; }

    // The RTP driver's descriptor; -1 when closed.
    int device() const { return events_.lowlevel_fd(); }
    // The stream's UDP socket that the session is attached to; -1 when it
    // has none of its own.
    int rtp_socket() const { return rtp_socket_.lowlevel_fd(); }

private:
    // Reads every waiting rtp_event record into processRtpEvent.
    void OnRtpEvent(int fd, short revents);
    // The driver ended the session; cause: the errno, EPIPE for an end.
    void SessionEnded(int cause);
    bool OpenSteps(std::ostream& err);
    bool OpenSockets(std::ostream& err);
    bool StartSession(std::ostream& err);
    void EndSession();
    bool ChangeCodec(bool encoder, LGCP::CodecMode const& mode);
    // Undoes whatever Open did; may run more than once.
    void Close();
    // A driver request: its result, or false with the request's name, the
    // error and the record on `err`.
    bool Request(uint32_t number, char const* name, uint8_t* record, std::ostream& err);
    bool Request(uint32_t number, char const* name, std::ostream& err);
    // Runs a step; what it says of a failure goes to the error stream after
    // the slot's header.
    bool Logged(std::function<bool(std::ostream&)> const& step) const;

    RtpSetup setup_;
    Event events_;
    Fd rtp_socket_;
    Fd rtcp_socket_;
    bool session_ = false;
    int timeslot_ = -1;
    bool holds_port_ = false;  // its output is to be switched off
    bool ended_ = false;       // the driver ended the session
    int error_ = 0;
    std::unique_ptr<Rtcp::RtcpReporter> rtcp_;
};
