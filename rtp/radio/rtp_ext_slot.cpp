#include "rtp/radio/rtp_ext_slot.h"

#include <unistd.h>

#include <iostream>
#include <sstream>
#include <string>

#include "runtime/log/ext.h"
#include "slots/slot_factory.h"

namespace {

struct Delay {
    char const* name;
    bool present;
    int value;
};

}  // namespace

RtpExtSlot::RtpExtSlot(RtpSetup const& setup, uint16_t etype) : RtpSlot(setup), etype_(etype) {}

RtpExtSlot::~RtpExtSlot() {
    // The control goes before the session it sends on.
    control_.reset();
    session_.reset();
}

bool RtpExtSlot::OpenRadio(SlotFactory const& factory, TERM::RtpRadioRequest const& radio) {
    session_ = std::make_unique<RTPSignalling::RtpExtSession>("rtp ext[" +
                                                              std::to_string(timeslot()) + "]");
    control_ = MakeControl(*session_);
    session_->SetControl(control_.get());
    bool const attached = setup().attach_only;
    std::ostringstream err;
    if (session_->Open(etype_, attached ? setup().attach_fd : rtp_socket(),
                       attached ? setup().attach_pid : ::getpid(), err) &&
        SetFeatures(radio, err))
        return true;
    std::cerr << ext::header(&factory) << "rtp do not created: " << err.str() << std::flush;
    return false;
}

bool RtpExtSlot::SetFeatures(TERM::RtpRadioRequest const& radio, std::ostream& err) {
    Delay const delays[] = {
        {"rx-delay", radio.rx_delay_isPresent(),
         radio.rx_delay_isPresent() ? radio.get_rx_delay().getValue() : 0},
        {"tx-delay", radio.tx_delay_isPresent(),
         radio.tx_delay_isPresent() ? radio.get_tx_delay().getValue() : 0},
        {"selcal-delay", radio.selcal_delay_isPresent(),
         radio.selcal_delay_isPresent() ? radio.get_selcal_delay().getValue() : 0},
    };
    bool any_delay = false;
    for (Delay const& delay : delays) {
        if (delay.value < 0) {
            err << delay.name << ' ' << delay.value << " is negative" << std::endl;
            return false;
        }
        any_delay = any_delay || delay.present;
    }
    if (radio.bss_enable_isPresent() && !enableBSS(radio.get_bss_enable())) {
        err << "BSS not switched" << std::endl;
        return false;
    }
    if (radio.ng_enable_isPresent() && !enableNG(radio.get_ng_enable())) {
        err << "noise gate not switched" << std::endl;
        return false;
    }
    if (any_delay)
        configureDelays(unsigned(delays[0].value), unsigned(delays[1].value),
                        unsigned(delays[2].value));
    return true;
}

void RtpExtSlot::RadioControlNotify(TERM::RtpRadioRequest const& request) {
    OnRtpRadioEvent(request);
}

void RtpExtSlot::RadioControlNotify(int cause) {
    OnAbort(cause);
}

void RtpExtSlot::IAfterCreate() {
    RtpSlot::IAfterCreate();
    StartRadio();
    if (control_->running())
        std::clog << ext::header(this) << control_->GetName() << " started" << std::endl;
}

bool RtpExtSlot::IBeforeDestroy() {
    StopRadio();
    session_->Close();
    std::clog << ext::header(this) << control_->GetName() << " stopped" << std::endl;
    return RtpSlot::IBeforeDestroy();
}

void RtpExtSlot::OnSessionEnded() {
    StopRadio();
    session_->Close();
    std::clog << ext::header(this) << control_->GetName() << " stopped" << std::endl;
}

bool RtpExtSlot::Ioctl(LGCP::IoctlParams const& params) {
    // A slot whose session ended refuses everything, as RtpSlot says.
    if (ended()) return RtpSlot::Ioctl(params);
    if (params.rtpExt_isSelected()) return control_->Command(params.get_rtpExt());
    if (params.encoder_mode_isSelected() || params.decoder_mode_isSelected())
        return ChangeCodec(params);
    return RtpSlot::Ioctl(params);
}

bool RtpExtSlot::ChangeCodec(LGCP::IoctlParams const& params) {
    StopRadio();
    bool const changed = RtpSlot::Ioctl(params);
    // The stream goes on, on the new codec or on its earlier one after a
    // failed change: so does its radio signalling. With no session left
    // there is no stream to signal on.
    if (has_session()) {
        StartRadio();
    } else {
        std::cerr << ext::header(this) << "no RTP session after the codec change; "
                  << control_->GetName() << " stays stopped" << std::endl;
        RadioControlNotify(error());
    }
    return changed;
}

void RtpExtSlot::StartRadio() {
    // A radio stream that does not start leaves the radio dumb: the
    // controller hears of it as a radio failure with the driver's error,
    // and the control stays stopped.
    if (!session_->StartStream()) return RadioControlNotify(session_->error());
    control_->Start();
}

void RtpExtSlot::StopRadio() {
    control_->Stop();
    if (session_->IsOpen()) session_->StopStream();
}
