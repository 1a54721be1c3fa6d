#include "tests/support/radio_values.h"

namespace support {

namespace {

TERM::RadioModifierAddr sampleAddr() {
    TERM::RadioModifierAddr addr;
    addr.set_session_addr("10.0.0.1");
    addr.set_session_ssrc(0xCAFE0001u);
    return addr;
}

TERM::RadioFrequency sampleFreq() {
    TERM::RadioFrequency freq;
    freq.set_channel(7);
    freq.set_frequency("118.5");
    return freq;
}

TERM::RadioRemote sampleRemote() {
    TERM::RadioRemote remote;
    remote.set_no(4);
    remote.set_ch(9);
    return remote;
}

template <class Command>
Command flagsIpSsrc() {
    Command command;
    command.set_flags(kvelFlags());
    command.set_ip("10.0.0.2");
    command.set_ssrc(0x01020304u);
    return command;
}

template <class Command>
Command withFlags() {
    Command command;
    command.set_flags(kvelFlags());
    return command;
}

TERM::KvelRadioModifierParams sampleParams(int index) {
    using P = TERM::KvelRadioModifierParams;
    P params;
    switch (index) {
        case 0:
            params.select_gw_set_flags(withFlags<TERM::RadioCommandGWSetFlags>());
            break;
        case 1:
            params.select_gw_set_freq().set_freq(sampleFreq());
            break;
        case 2:
            params.select_gw_set_ptt(withFlags<TERM::RadioCommandGWSetFlags>());
            break;
        case 3:
            params.select_gw_set_bss(withFlags<TERM::RadioCommandGWSetFlags>());
            break;
        case 4:
            params.select_gw_set_sh(withFlags<TERM::RadioCommandGWSetFlags>());
            break;
        case 5:
            params.select_gw_set_pwr(withFlags<TERM::RadioCommandGWSetFlags>());
            break;
        case 6:
            params.select_gw_set_rv(withFlags<TERM::RadioCommandGWSetFlags>());
            break;
        case 7:
            params.select_gw_set_resv(withFlags<TERM::RadioCommandGWSetFlags>());
            break;
        case 8: {
            auto command = flagsIpSsrc<TERM::RadioCommandGWSetSelCall>();
            command.set_cid("AB");
            params.select_gw_set_selcall(command);
            break;
        }
        case 9:
            params.select_gw_set_remote().set_remote(sampleRemote());
            break;
        case 10:
            params.select_gw_set_squelshe().set_squelshe(TERM::RadioSquelshe::on);
            break;
        case 11:
            params.select_gw_set_rte().set_rte(TERM::RadioRTE::h3e);
            break;
        case 12:
            params.select_gw_set_standby().set_state(TERM::RadioStandby::standby);
            break;
        case 13:
            params.select_wm_flags(withFlags<TERM::RadioCommandWMFlags>());
            break;
        case 14:
            params.select_wm_trans(flagsIpSsrc<TERM::RadioCommandWMTrans>());
            break;
        case 15:
            params.select_wm_quality().set_bss_val("Q7");
            break;
        case 16: {
            TERM::RadioCommandWMChan& command = params.select_wm_chan();
            command.set_freq(sampleFreq());
            command.set_squelshe(TERM::RadioSquelshe::on);
            command.set_rte(TERM::RadioRTE::h3e);
            break;
        }
        case 17: {
            auto command = flagsIpSsrc<TERM::RadioCommandWMSelCall>();
            command.set_cid("AB");
            params.select_wm_selcall(command);
            break;
        }
        case 18:
            params.select_wm_remote().set_remote(sampleRemote());
            break;
        case 19: {
            TERM::RadioCommandWMStandby& command = params.select_wm_standby();
            command.set_state_channel(TERM::RadioStandby::standby);
            command.set_group(6);
            command.set_state_receiver(TERM::RadioStandby::active);
            break;
        }
        default:
            break;
    }
    return params;
}

TERM::RadioModifier ed137Modifier(TERM::ED137RadioModifierParams const& params) {
    TERM::ED137RadioModifier modifier;
    modifier.set_addr(sampleAddr());
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

TERM::RadioFlags kvelFlags() {
    TERM::RadioFlags flags;
    flags.set_prio(3);
    flags.set_ptt(true), flags.set_bss(false), flags.set_vad_rx(true), flags.set_vad_tx(false);
    flags.set_sql(true), flags.set_sh(false), flags.set_pwr(true), flags.set_rv(false);
    flags.set_resv(true);
    flags.set_selcall(2);
    flags.set_li(300);
    return flags;
}

TERM::KvelRadioModifier kvelCommand(int index) {
    TERM::KvelRadioModifier command;
    command.set_addr(sampleAddr());
    command.set_params(sampleParams(index));
    return command;
}

TERM::KvelRadioStatus kvelStatus() {
    TERM::KvelRadioStatus status;
    status.set_flags(kvelFlags());
    status.set_freq(sampleFreq());
    status.set_remote(sampleRemote());
    status.set_squelshe(TERM::RadioSquelshe::on);
    status.set_rte(TERM::RadioRTE::h3e);
    status.set_standby_state_channel(TERM::RadioStandby::standby);
    status.set_standby_group(6);
    status.set_standby_state_receiver(TERM::RadioStandby::active);
    return status;
}

TERM::RadioModifier kvelModifier(int index) {
    return TERM::RadioModifier(TERM::RadioModifier::kvel::index, kvelCommand(index));
}

}  // namespace support
