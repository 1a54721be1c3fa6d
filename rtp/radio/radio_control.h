#pragma once
// The radio control of a radio channel: it turns the controller's radio
// commands (`rtpExt` ioctls) into signalling records sent on the channel's
// extended RTP session, and the records the session receives into radio
// state reports and failures for the controller. A radio slot owns one,
// starts it after creation, stops it before destruction and around a codec
// change, writes its sends to /dev/rtp_ext and hands it every record it
// reads there. KvelRadioGWControl and ED137RadioGWControl are the two kinds.
//
// The record framing and kinds are those of hardware/device/rtp_ext_driver.h.
// A record that is cut short, whose length runs past its bytes, or that does
// not belong to the control's protocol is dropped with a line on the error
// stream; a failure record reaches the owner as a failure cause. A send
// that the session does not take starts a run of failed sends: it has one
// line and reaches the owner once as a failure with the session's errno
// (while the control runs), until a send goes again. Every line starts with the owner's header.

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <vector>

#include "messages/term/term.h"

namespace RTPSignalling {

// The owner's side: radio state reports and radio failures.
class IRadioControlNotify {
public:
    virtual void RadioControlNotify(TERM::RtpRadioRequest const& request) = 0;
    virtual void RadioControlNotify(int cause) = 0;
    // What heads the control's lines ("05:rtp ext KVEL (GW): ").
    virtual void PutNotifyHeader(std::ostream&) const {}

protected:
    ~IRadioControlNotify() = default;
};

// The extended session the control transmits on.
class IRadioLink {
public:
    // Sends one signalling record of the kind; false when the session did
    // not take it (the link has written why).
    virtual bool SendRecord(uint16_t kind, std::vector<uint8_t> const& data) = 0;
    // The errno of the last send it did not take.
    virtual int error() const = 0;

protected:
    ~IRadioLink() = default;
};

class RadioControl {
public:
    RadioControl(IRadioLink& link, IRadioControlNotify& notify);
    RadioControl(RadioControl const&) = delete;
    RadioControl& operator=(RadioControl const&) = delete;
    virtual ~RadioControl() = default;

    virtual void Start() { running_ = true; }
    virtual void Stop() { running_ = false; }
    bool running() const { return running_; }

    // A radio command from the controller; false, with a line, when it is
    // refused (the other protocol's command, a value its field cannot hold,
    // a session that does not take it).
    virtual bool Command(TERM::RadioModifier const& command) = 0;

    // One record read from the extended session, header included. Records
    // that come while the control is stopped belong to the stream before
    // the stop and are let go.
    void Received(uint8_t const* record, size_t size);

    // The extended session is gone (errno of the failure): the control
    // stops, and reports it as a radio failure with that cause.
    void SessionLost(int error) {
        Stop();
        Fail(error);
    }

    virtual char const* GetName() const = 0;
    void PutHeader(std::ostream& os) const {
        notify_.PutNotifyHeader(os);
        os << GetName() << ": ";
    }

protected:
    // A signalling record of a kind other than failure, its header checked.
    virtual void OnSignalling(uint16_t kind, uint8_t const* data, size_t size) = 0;
    // Sends the record; the first refusal of a run says so and is a failure.
    bool Send(uint16_t kind, std::vector<uint8_t> const& data);
    // Whether the last send failed.
    bool sending_fails() const { return send_failing_; }
    void Report(TERM::RadioStatus const& status);
    void Fail(int cause);
    // "dropped: " and the reason on the error stream.
    void Drop(std::string const& why) const;
    // "rtpExt refused: " and the reason on the error stream; false.
    bool Refuse(std::string const& why) const;

private:
    IRadioLink& link_;
    IRadioControlNotify& notify_;
    bool running_ = false;
    bool send_failing_ = false;
};

}  // namespace RTPSignalling
