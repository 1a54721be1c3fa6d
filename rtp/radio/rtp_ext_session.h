#pragma once
// One extended session on /dev/rtp_ext (hardware/device/rtp_ext_driver.h):
// the radio signalling path of a radio channel. The radio slot opens it for
// its protocol, attached to the stream's RTP session, starts and stops the
// radio stream with it, and lets its radio control send through it; every
// record the driver delivers goes to that control. A read failure other
// than "nothing waiting", or the driver ending the session (a hang-up, see
// rtp/driver_end.h), closes the session with a line, so a dead descriptor
// is never polled again, and the control reports it as a radio failure with
// the errno (EPIPE for the end). An empty record is dropped with a line. A
// write that fails has a line once per run of failing writes.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "rtp/radio/radio_control.h"
#include "runtime/loop/event.h"

namespace RTPSignalling {

class RtpExtSession final : public IRadioLink {
public:
    // `name` heads its lines ("rtp ext[5]").
    explicit RtpExtSession(std::string name);
    RtpExtSession(RtpExtSession const&) = delete;
    RtpExtSession& operator=(RtpExtSession const&) = delete;
    ~RtpExtSession();

    // Opens a session of the kind (Device::RtpExtInit), attached to the RTP
    // session's descriptor `fd_rtp` of process `pid_rtp` when fd_rtp is not
    // negative; false when a step fails, with what failed on `err` (the
    // caller heads the line), and nothing stays open.
    bool Open(uint16_t etype, int fd_rtp, int pid_rtp, std::ostream& err);
    // Ends the session; the control hears nothing more.
    void Close();
    bool IsOpen() const { return event_.IsActive(); }

    bool StartStream();
    bool StopStream();
    // The errno of the last request or write that failed.
    int error() const override { return error_; }

    // The control that gets the received records; null for none.
    void SetControl(RadioControl* control) { control_ = control; }

    bool SendRecord(uint16_t kind, std::vector<uint8_t> const& data) override;

    void PutHeader(std::ostream& os) const { os << name_ << ": "; }

private:
    // The driver's request; false with "WHAT fail: " and the error on `err`.
    bool Request(uint32_t number, char const* what, uint8_t* record, std::ostream& err);
    // The same, the line on the error stream after the session's header.
    bool Request(uint32_t number, char const* what);
    void OnReadable(int fd, short revents);
    void Lost(int error);

    std::string const name_;
    Event event_;
    RadioControl* control_ = nullptr;
    int error_ = 0;
    bool write_failing_ = false;  // since the last write that went
};

}  // namespace RTPSignalling
