#include "tests/support/radio_values.h"

#include <gtest/gtest.h>

#include <string>

namespace support {

namespace {

// The sample values in value notation; made on first use, so that values
// of other files' static objects may be built from them.
struct Samples {
    std::string addr = "addr { session-addr \"10.0.0.1\", session-ssrc 3405643777 }";
    std::string flags =
        "flags { prio 3, ptt TRUE, bss FALSE, vad-rx TRUE, vad-tx FALSE, sql TRUE, sh FALSE, "
        "pwr TRUE, rv FALSE, resv TRUE, selcall 2, li 300 }";
    std::string freq = "freq { channel 7, frequency \"118.5\" }";
    std::string remote = "remote { no 4, ch 9 }";
    std::string ip_ssrc = "ip \"10.0.0.2\", ssrc 16909060";
    std::string cid = "cid \"AB\"";
    // The parameters of the Kvel commands, by alternative.
    std::string kvel_params[20] = {
        "gw-set-flags : { " + flags + " }",
        "gw-set-freq : { " + freq + " }",
        "gw-set-ptt : { " + flags + " }",
        "gw-set-bss : { " + flags + " }",
        "gw-set-sh : { " + flags + " }",
        "gw-set-pwr : { " + flags + " }",
        "gw-set-rv : { " + flags + " }",
        "gw-set-resv : { " + flags + " }",
        "gw-set-selcall : { " + flags + ", " + ip_ssrc + ", " + cid + " }",
        "gw-set-remote : { " + remote + " }",
        "gw-set-squelshe : { squelshe on }",
        "gw-set-rte : { rte h3e }",
        "gw-set-standby : { state standby }",
        "wm-flags : { " + flags + " }",
        "wm-trans : { " + flags + ", " + ip_ssrc + " }",
        "wm-quality : { bss-val \"Q7\" }",
        "wm-chan : { " + freq + ", squelshe on, rte h3e }",
        "wm-selcall : { " + flags + ", " + ip_ssrc + ", " + cid + " }",
        "wm-remote : { " + remote + " }",
        "wm-standby : { state-channel standby, group 6, state-receiver active }",
    };
};

Samples const& samples() {
    static Samples const made;
    return made;
}

template <class Value>
Value read(std::string const& text) {
    Value value;
    if (!value.setFromValueNotation(text)) ADD_FAILURE() << "cannot read: " << text;
    return value;
}

TERM::RadioModifier ed137Modifier(TERM::ED137RadioModifierParams const& params) {
    TERM::ED137RadioModifier modifier;
    modifier.set_addr(read<TERM::RadioModifierAddr>(samples().addr.substr(5)));
    modifier.set_params(params);
    return TERM::RadioModifier(TERM::RadioModifier::ed_137::index, modifier);
}

}  // namespace

TERM::ED137RadioHeader ed137Header(TERM::ED137RadioPTT::NamedNumber ptt, bool squ, unsigned ptt_id,
                                   bool mute, bool summation, bool sct) {
    TERM::ED137RadioHeader header;
    header.set_ptt(ptt);
    header.set_squ(squ ? TERM::ED137RadioSQU::squ_on : TERM::ED137RadioSQU::squ_off);
    header.set_ptt_id(ptt_id);
    header.set_ptt_mute(mute);
    header.set_ptt_summation(summation);
    header.set_sct(sct);
    return header;
}

TERM::ED137RadioExtensionSQI ed137Sqi(TERM::ED137RadioBSSMethod::NamedNumber method,
                                      unsigned quality) {
    TERM::ED137RadioExtensionSQI sqi;
    sqi.set_bss_method(method);
    sqi.set_bss_quality(quality);
    return sqi;
}

TERM::RadioModifier ed137Tx(TERM::ED137RadioHeader const& header) {
    TERM::ED137RadioModifierParams params;
    params.select_tx().set_header(header);
    return ed137Modifier(params);
}

TERM::RadioModifier ed137Rx(TERM::ED137RadioHeader const& header,
                            TERM::ED137RadioExtensionSQI const* sqi) {
    TERM::ED137RadioModifierParams params;
    TERM::ED137RadioRxCommand& rx = params.select_rx();
    rx.set_header(header);
    if (sqi) rx.set_sqi(*sqi);
    return ed137Modifier(params);
}

TERM::KvelRadioModifier kvelCommand(int index) {
    Samples const& s = samples();
    return read<TERM::KvelRadioModifier>("{ " + s.addr + ", params " + s.kvel_params[index] + " }");
}

TERM::KvelRadioStatus kvelStatus() {
    Samples const& s = samples();
    return read<TERM::KvelRadioStatus>("{ " + s.flags + ", " + s.freq + ", " + s.remote +
                                       ", squelshe on, rte h3e, standby-state-channel standby, "
                                       "standby-group 6, standby-state-receiver active }");
}

TERM::RadioModifier kvelModifier(int index) {
    return TERM::RadioModifier(TERM::RadioModifier::kvel::index, kvelCommand(index));
}

}  // namespace support
