#include "asn1_messages.h"

namespace BenchMsgs {

namespace {

std::unique_ptr<LGCP::Message> message(int seq, int slot) {
    auto m = std::make_unique<LGCP::Message>();
    if (seq >= 0) m->set_seq(seq);
    if (slot >= 0) m->set_slot(unsigned(slot));
    return m;
}

std::unique_ptr<LGCP::Message> resourceReport() {
    auto m = message(-1, -1);
    LGCP::Resources& r = m->set_pdu().select_signal().select_query();
    r.set_boardMajor(3);
    r.set_boardMinor(1);
    ACP::VersionInfo version;
    version.set_type().set_release();
    version.set_version("4.2.1");
    version.set_date("2024-06-01");
    version.set_revision(1234);
    r.set_drvVersion(version);
    r.set_rtp_g729(16);
    r.set_rtp_g723(16);
    r.set_rtp_g711(60);
    r.set_rtp_g711mcc(30);
    r.set_modem(4);
    for (int unit = 0; unit < 2; ++unit) {
        LGCP::MixerResources_subtype mixer;
        mixer.set_unit(unit);
        mixer.set_tdm_inputs(32);
        mixer.set_tdm_outputs(32);
        mixer.set_mixer_inputs(8);
        mixer.set_dpu_per_mixer(2);
        mixer.set_dpu_per_ec(1);
        mixer.set_dpu_per_lms(1);
        r.set_mixer().push_back(mixer);
    }
    r.set_mux(true);
    r.set_mcc_data(8);
    r.set_mcc_bri(8);
    r.set_mcc_trans(8);
    for (int bus = 0; bus < 4; ++bus) {
        ASN1::INTEGER n;
        n.setValue(bus);
        r.set_echoBus().push_back(n);
    }
    r.set_t38_instances(4);
    r.set_digital_modems(4);
    r.set_lin16(60);
    r.set_universal(0);
    return m;
}

}  // namespace

std::vector<std::unique_ptr<LGCP::Message>> mix() {
    std::vector<std::unique_ptr<LGCP::Message>> out;

    out.push_back(message(17, -1));
    out.back()->set_pdu().select_command().select_ping();

    out.push_back(message(18, 12));
    LGCP::TrunkParams& trunk =
        out.back()->set_pdu().select_command().select_create().select_trunk();
    trunk.set_trunk(1);
    trunk.set_timeslot(5);

    out.push_back(message(19, 12));
    out.back()->set_pdu().select_command().select_connect(20);

    out.push_back(message(19, 12));
    out.back()->set_pdu().select_response().select_success();

    out.push_back(message(-1, 12));
    LGCP::TonecEvent& tonec = out.back()->set_pdu().select_signal().select_tonec();
    tonec.set_timestamp(123456);
    tonec.set_event().select_dtmf(5);

    out.push_back(resourceReport());
    return out;
}

}  // namespace BenchMsgs
