#pragma once
// Recorders on a transparent MCC channel (voice_slot.h). The input is
// reported active from creation; each new source opens a TCP connection to
// the recorder's peer and copies every byte the channel receives to it, with
// no header. The end of a recording is reported as `stopRecording`: the
// peer cannot be reached (`connectionFail`), the channel's stream ended
// (`userRequest`) or the connection broke (`connectionAborted`). The slot
// stays; the next source starts again.

#include <memory>
#include <string>

#include "runtime/system/async_connect.h"
#include "runtime/system/async_copy.h"
#include "runtime/system/fd.h"
#include "slots/voice_slot.h"

class RecordSlot : public VoiceSlot {
public:
    static constexpr uint32_t connect_timeout_ms = 5000;

    RecordSlot(std::string const& address, int timeslot, Fd const& channel)
        : timeslot_(timeslot), channel_(channel), address_(address) {}

    void IAfterCreate() override { OnChangeInputStream(true); }
    bool IOnInputStream() override;
    int IGetReceiveChannel() override { return timeslot_; }
    char const* GetName() const override { return "recorder"; }

    // "recorder[1024]: "
    void PutHeader(std::ostream& os) const;

private:
    void OnConnect(ASync::Connect::Status::Type status, Fd socket);
    void OnRecordComplete(ASync::Copy::Status::Type status);
    void StopRecording(LGCP::StopRecordingCause::NamedNumber cause);

    int timeslot_;
    Fd channel_;
    std::string address_;
    std::unique_ptr<ASync::Copy> copier_;
    std::unique_ptr<ASync::Connect> connector_;
};
