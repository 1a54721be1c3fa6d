#include "slots/slot.h"

#include <algorithm>
#include <cstdio>
#include <iomanip>
#include <iostream>

#include "hardware/hw_mux.h"
#include "slots/slot_factory.h"
#include "slots/slots.h"

void Slot::Put(std::ostream& os) const {
    if (id_ == unregistered)
        os << "na";
    else if (id_ > 1023)
        os << 'i' << id_;
    else
        os << std::setw(2) << std::setfill('0') << id_ << std::setfill(' ');
    os << ':' << GetName();
}

std::ostream& operator<<(std::ostream& os, Slot const& slot) {
    slot.Put(os);
    return os;
}

bool Slot::IHwConnectTransmitter(Slot& destination) { return MuxConnect(*this, destination); }
bool Slot::IHwConnectReceiver(Slot& source) { return MuxConnect(source, *this); }
bool Slot::IHwDisconnectTransmitter(Slot& destination) { return MuxDisconnect(destination); }
bool Slot::IHwDisconnectReceiver(Slot&) { return MuxDisconnect(*this); }

void Slot::SendSignal(LGCP::Signal const& signal) { Slots::instance().SendSignal(id_, signal); }

namespace {

// One signal, its alternative chosen by `select`.
template <class Select>
LGCP::Signal signal_of(Select select) {
    LGCP::Signal signal;
    select(signal);
    return signal;
}

}  // namespace

void Slot::OnTonecEvent(LGCP::TonecEvent const& event) {
    SendSignal(signal_of([&](LGCP::Signal& s) { s.select_tonec(event); }));
}
void Slot::OnVADEvent(LGCP::VADEvent const& event) {
    SendSignal(signal_of([&](LGCP::Signal& s) { s.select_vad(event); }));
}
void Slot::OnSDEvent(LGCP::SDEvent const& event) {
    SendSignal(signal_of([&](LGCP::Signal& s) { s.select_sd(event); }));
}
void Slot::OnRtpEvent(LGCP::RtpEvent const& event) {
    SendSignal(signal_of([&](LGCP::Signal& s) { s.select_rtp(event); }));
}
void Slot::OnRtpRadioEvent(TERM::RtpRadioRequest const& request) {
    SendSignal(signal_of([&](LGCP::Signal& s) { s.select_rtpExt(request); }));
}
void Slot::OnProtoKvelEvent(RERIRA::ProtoKvelPackets const& packets) {
    SendSignal(signal_of([&](LGCP::Signal& s) { s.select_protoKvel(packets); }));
}
void Slot::OnNumber(std::string const& number) {
    SendSignal(signal_of([&](LGCP::Signal& s) { s.select_number(number); }));
}
void Slot::OnModem(TERM::ModemProceeding const& proceeding) {
    SendSignal(signal_of([&](LGCP::Signal& s) { s.select_modemProceeding(proceeding); }));
}
void Slot::OnModem(TERM::ModemInformation const& information) {
    SendSignal(signal_of([&](LGCP::Signal& s) { s.select_modemInformation(information); }));
}
void Slot::OnActivated() {
    SendSignal(signal_of([](LGCP::Signal& s) { s.select_activated(); }));
}
void Slot::OnDeactivated() {
    SendSignal(signal_of(
        [](LGCP::Signal& s) { s.select_deactivated(LGCP::DeactivateCause::networkError); }));
}
void Slot::OnUserData(std::vector<char> const& data) {
    SendSignal(signal_of([&](LGCP::Signal& s) { s.select_userData(data); }));
}
void Slot::OnAbort(int code) {
    SendSignal(signal_of([&](LGCP::Signal& s) { s.select_abort(code); }));
}
void Slot::OnIoctlResponse(LGCP::IoctlResponse const& response) {
    SendSignal(signal_of([&](LGCP::Signal& s) { s.select_ioctl(response); }));
}

void Slot::processToneGenEvent() {
    LGCP::TonecEvent event;
    event.set_timestamp(0);
    event.set_event().select_dtmfDone();
    OnTonecEvent(event);
}

void Slot::processTonecEvent(Hardware::TonecReceiver::Params const& params) {
    LGCP::TonecEvent event;
    event.set_timestamp(int(params.timestamp));
    LGCP::TonecCode& code = event.set_event();
    int32_t const iva = int32_t(params.code) >> 8;
    if (params.code == 17) {
        code.select_ced();
    } else if (params.code == 18) {
        code.select_cng();
    } else if (params.code <= 127) {
        code.select_dtmf(params.code);
    } else if (iva >= 1 && iva <= 20) {
        code.select_iva().select_code(unsigned(iva));
    } else if (iva == 21) {
        code.select_iva().select_ringoff();
    } else {
        std::cerr << "bad DTMF code, ignored." << std::endl;
        return;
    }
    OnTonecEvent(event);
}

void Slot::processVADEvent(Hardware::DSProcVADEvent const& vad) {
    if (vad.rx < 0 && vad.tx < 0) {
        std::cerr << "bad VAD event, ignored." << std::endl;
        return;
    }
    LGCP::VADEvent event;
    if (vad.rx >= 0) event.set_vad_rx(vad.rx > 0);
    if (vad.tx >= 0) event.set_vad_tx(vad.tx > 0);
    OnVADEvent(event);
}

void Slot::processSDEvent(Hardware::DSProcSDEvent const& sd) {
    if (sd.rx < 0) {
        std::cerr << "bad SD event, ignored." << std::endl;
        return;
    }
    LGCP::SDEvent event;
    event.set_sd_rx(sd.rx > 0);
    OnSDEvent(event);
}

void Slot::processToneFltEvent(dsproc_tone_event const* tone) {
    LGCP::TonecEvent event;
    event.set_timestamp(0);
    LGCP::TonePresence& presence = event.set_event().select_tone_presence();
    presence.set_freq(int(tone->frequency));
    presence.set_presence(int32_t(tone->presence) > 0);
    OnTonecEvent(event);
}

void Slot::processFlagsEvent(dsproc_flags_event const* flags) {
    uint32_t const rx = 1u << 29, tx = 1u << 30, selcal = 1u << 31;
    if (flags->mask & (rx | tx)) {
        LGCP::VADEvent event;
        if (flags->mask & rx) event.set_vad_rx((flags->flags & rx) != 0);
        if (flags->mask & tx) event.set_vad_tx((flags->flags & tx) != 0);
        OnVADEvent(event);
    }
    if (flags->mask & selcal) {
        LGCP::SelcalEvent event;
        event.set_in_progress((flags->flags & selcal) != 0);
        SendSignal(signal_of([&](LGCP::Signal& s) { s.select_selcal(event); }));
    }
}

void Slot::processBSSEvent(dsproc_bss_event const* bss) {
    char score[32];
    std::snprintf(score, sizeof(score), "%4.6f", double(bss->score));
    LGCP::BSSEvent event;
    event.set_score().assign(score);
    SendSignal(signal_of([&](LGCP::Signal& s) { s.select_bss(event); }));
}

void Slot::processRtpEvent(uint32_t type, uint32_t value, uint32_t timeout) {
    if (type != 1) return;
    LGCP::RtpEvent event;
    LGCP::RtpPDEvent& pd = event.select_pd();
    pd.set_value(int(value));
    pd.set_timeout(int(timeout));
    OnRtpEvent(event);
}

void Slot::OnChangeInputStream(bool on) {
    if (on == inputActive_) return;
    LGCP::Signal signal;
    if (on) {
        signal.select_receiver().select_active(IGetReceiveChannel());
    } else {
        signal.select_receiver().select_inactive();
        Disconnect(*this);
    }
    inputActive_ = on;
    SendSignal(signal);
}

void Slot::OnChangeOutputStream(bool on) {
    if (on == outputActive_) return;
    LGCP::Signal signal;
    if (on) {
        signal.select_transmitter().select_active(IGetTransmitChannel());
    } else {
        signal.select_transmitter().select_inactive();
        for (size_t n = consumers_.size(); n > 0; --n) {
            if (consumers_.empty()) {
                std::cerr << "mux: internal error: expected slots not exists." << std::endl;
                break;
            }
            Disconnect(*consumers_.front());
        }
    }
    outputActive_ = on;
    SendSignal(signal);
}

bool Slot::BeforeDestroy() {
    if (!IBeforeDestroy()) return false;
    if (factory_)
        factory_->Remove(this);
    else
        std::cerr << "slot: internal error!!! BeforeDestroy() not connected to factory"
                  << std::endl;
    return true;
}

void Slot::on_release() {
    if (!releasing_) return;
    if (factory_) factory_->Remove(this);
    Slots::instance().on_release(this);
}

void Slot::LogicalConnect(Slot& source) {
    source_ = &source;
    auto& list = source.consumers_;
    auto const at = std::lower_bound(list.begin(), list.end(), this);
    if (at == list.end() || *at != this) list.insert(at, this);
}

void Slot::LogicalDisconnect() {
    if (!source_) return;
    auto& list = source_->consumers_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    source_ = nullptr;
}

bool Connect(Slot& source, Slot& destination) {
    if (destination.source() == &source) return true;
    if (source.consumers().empty()) {
        if (!source.IOnOutputStream()) {
            std::cerr << "slot " << source << " don't have output stream to " << destination
                      << std::endl;
            return false;
        }
        source.OnChangeOutputStream(true);
    }
    Slot* const previous = destination.source();
    if (!previous) {
        if (!destination.IOnInputStream()) {
            std::cerr << "slot " << destination << " don't have input stream from " << source
                      << std::endl;
            return false;
        }
        destination.OnChangeInputStream(true);
    } else {
        llDisconnect(destination);
    }

    if (!llConnect(source, destination)) {
        if (!previous) destination.IOnInputRelease();
        if (source.consumers().empty()) source.IOnOutputRelease();
        // The destination keeps its earlier source: put the switch back on it.
        if (previous) llConnect(*previous, destination);
        return false;
    }
    if (previous) {
        destination.LogicalDisconnect();
        if (previous->consumers().empty()) previous->IOnOutputRelease();
    }
    destination.LogicalConnect(source);
    return true;
}

bool Disconnect(Slot& destination) {
    Slot* const source = destination.source();
    if (!source) return true;
    bool const done = llDisconnect(destination);
    destination.LogicalDisconnect();
    destination.IOnInputRelease();
    if (source->consumers().empty()) source->IOnOutputRelease();
    return done;
}

bool llConnect(Slot& source, Slot& destination) {
    if (source.GetConnectionPriority() <= destination.GetConnectionPriority())
        return destination.IHwConnectReceiver(source);
    return source.IHwConnectTransmitter(destination);
}

bool llDisconnect(Slot& destination) {
    Slot* const source = destination.source();
    if (!source) return false;
    if (destination.GetConnectionPriority() <= source->GetConnectionPriority())
        return source->IHwDisconnectTransmitter(destination);
    return destination.IHwDisconnectReceiver(*source);
}

bool MuxConnect(Slot& source, Slot& destination) {
    int const transmit = source.IGetTransmitChannel();
    int const receive = destination.IGetReceiveChannel();
    if (!HwMux::instance().Connect(transmit, receive)) return false;
    std::clog << "mux: slot " << source << " [" << transmit << "] -> " << destination << " ["
              << receive << "]" << std::endl;
    return true;
}

bool MuxDisconnect(Slot& destination) {
    int const receive = destination.IGetReceiveChannel();
    if (!HwMux::instance().Disconnect(receive)) return false;
    std::clog << "mux: disconnect slot " << destination << " [" << receive << "]" << std::endl;
    return true;
}
