#include "rtp/radio/radio_control.h"

#include <iostream>

#include "hardware/device/rtp_ext_driver.h"
#include "runtime/log/ext.h"

namespace RTPSignalling {

RadioControl::RadioControl(IRadioLink& link, IRadioControlNotify& notify)
    : link_(link), notify_(notify) {}

void RadioControl::Received(uint8_t const* record, size_t size) {
    if (!running_) return;
    if (size < Device::RtpExtSignal::header_size) {
        return Drop("record of " + std::to_string(size) + " bytes is shorter than its header");
    }
    uint16_t const kind = Device::RtpExtSignal::kindOf(record);
    size_t const length = Device::RtpExtSignal::lengthOf(record);
    if (length > size - Device::RtpExtSignal::header_size) {
        return Drop("record length " + std::to_string(length) + " runs past its " +
                    std::to_string(size - Device::RtpExtSignal::header_size) + " bytes of data");
    }
    uint8_t const* const data = record + Device::RtpExtSignal::header_size;
    if (kind != Device::RtpExtSignal::failure) return OnSignalling(kind, data, length);
    if (length != 4) return Drop("failure record of " + std::to_string(length) + " bytes");
    Fail(int(Device::get32(data)));
}

bool RadioControl::Send(uint16_t kind, std::vector<uint8_t> const& data) {
    if (link_.SendRecord(kind, data)) {
        if (send_failing_) std::clog << ext::header(this) << "signalling sent again" << std::endl;
        send_failing_ = false;
        return true;
    }
    if (send_failing_) return false;
    send_failing_ = true;
    std::cerr << ext::header(this) << "signalling of kind " << kind << " not sent" << std::endl;
    // A stopped control has told of its end already.
    if (running_) Fail(link_.error());
    return false;
}

void RadioControl::Report(TERM::RadioStatus const& status) {
    TERM::RtpRadioRequest request;
    request.set_status(status);
    notify_.RadioControlNotify(request);
}

void RadioControl::Fail(int cause) {
    std::cerr << ext::header(this) << "radio failure, cause " << cause << std::endl;
    notify_.RadioControlNotify(cause);
}

void RadioControl::Drop(std::string const& why) const {
    std::cerr << ext::header(this) << "dropped: " << why << std::endl;
}

bool RadioControl::Refuse(std::string const& why) const {
    std::cerr << ext::header(this) << "rtpExt refused: " << why << std::endl;
    return false;
}

}  // namespace RTPSignalling
