#include "rtp/radio/kvel_radio_gw_control.h"

#include "hardware/device/rtp_ext_driver.h"
#include "rtp/radio/sig_proto.h"

namespace RTPSignalling {

bool KvelRadioGWControl::Command(TERM::RadioModifier const& command) {
    if (!command.kvel_isSelected()) return Refuse("not a Kvel radio command");
    sig_proto::Encoded const record = sig_proto::encodeCommand(command.get_kvel());
    if (!record.fault.empty()) return Refuse(record.fault);
    return Send(Device::RtpExtSignal::kvel, record.bytes);
}

void KvelRadioGWControl::OnSignalling(uint16_t kind, uint8_t const* data, size_t size) {
    if (kind != Device::RtpExtSignal::kvel) {
        return Drop("record of kind " + std::to_string(kind) + " on a Kvel radio session");
    }
    sig_proto::Decoded const decoded = sig_proto::decodeStatus(data, size);
    if (!decoded.fault.empty()) return Drop(decoded.fault);
    Report(TERM::RadioStatus(TERM::RadioStatus::kvel::index, decoded.status));
}

}  // namespace RTPSignalling
