#pragma once
// The radio control of a Kvel radio channel: every Kvel radio command of
// the controller goes to the extended session as one command record, and
// every status record the session receives goes to the controller as a
// radio state report holding the Kvel status (record layouts: sig_proto.h).

#include "rtp/radio/radio_control.h"

namespace RTPSignalling {

class KvelRadioGWControl : public RadioControl {
public:
    using RadioControl::RadioControl;

    bool Command(TERM::RadioModifier const& command) override;
    char const* GetName() const override { return "Kvel radio control"; }

private:
    void OnSignalling(uint16_t kind, uint8_t const* data, size_t size) override;
};

}  // namespace RTPSignalling
