// The coded forms that the message tables give, octet for octet, each
// decoded back to an equal value.

#include <gtest/gtest.h>

#include "messages/acp/acp.h"
#include "messages/base/base.h"
#include "messages/hsp/hsp.h"
#include "messages/lgcp/lgcp.h"
#include "messages/mon/mon.h"
#include "messages/rerira/rerira.h"
#include "messages/term/term.h"
#include "per_check.h"

using msgtest::decoded;
using msgtest::per;

namespace {

template <class T>
void expectWire(T const& value, std::string const& expected) {
    EXPECT_EQ(per(value), expected);
    auto back = decoded<T>(expected);
    ASSERT_TRUE(back) << expected;
    EXPECT_TRUE(*back == value) << expected;
}

LGCP::Message pingMessage() {
    LGCP::Message m;
    m.set_pdu().select_command().select_ping();
    return m;
}

}  // namespace

TEST(LgcpWire, MessageWithoutSeqAndSlotCodesTwoZeroPresenceBits) {
    expectWire(pingMessage(), "06 00");
}

TEST(LgcpWire, MessageWithSeqAndSlotCodesBothThenTheAlignedFields) {
    LGCP::Message m = pingMessage();
    m.set_seq(5);
    m.set_slot(12u);
    expectWire(m, "C0 01 05 00 0C 18");
    m.set_seq(0);
    expectWire(m, "C0 01 00 00 0C 18");
}

TEST(LgcpWire, ACommandWithAChoiceWithoutSelectionCannotBeEncoded) {
    LGCP::Message m;
    EXPECT_EQ(per(m), "encode failed");
    m.set_pdu().select_command();
    EXPECT_EQ(per(m), "encode failed");
}

TEST(LgcpWire, DtmfDoneIsAnExtensionAdditionInAnOpenType) {
    LGCP::TonecCode done;
    done.select_dtmfDone();
    expectWire(done, "80 01 00");
    LGCP::TonecCode digit(LGCP::TonecCode::dtmf::index, 5u);
    expectWire(digit, "00 A0");
}

TEST(LgcpWire, ErrorCauseCodesAnExtensionBitAndFourBits) {
    expectWire(LGCP::ErrorCause(LGCP::ErrorCause::destroyInProgress), "60");
    LGCP::Response r(LGCP::Response::error::index, LGCP::ErrorCause::unexpectedMsgType);
    expectWire(r, "90");
}

TEST(LgcpWire, ConnectCarriesTheSlotInAnAlignedSixteenBitField) {
    expectWire(LGCP::Command(LGCP::Command::connect::index, 1023u), "10 03 FF");
}

TEST(LgcpWire, SignalsCodeAFiveBitIndexAfterTheExtensionBit) {
    LGCP::VADEvent vad;
    vad.set_vad_rx(true);
    expectWire(LGCP::Signal(LGCP::Signal::vad::index, vad), "42 80");

    LGCP::RtpPDEvent pd;
    pd.set_value(1);
    pd.set_timeout(2);
    expectWire(
        LGCP::Signal(LGCP::Signal::rtp::index, LGCP::RtpEvent(LGCP::RtpEvent::pd::index, pd)),
        "54 01 01 01 02");

    LGCP::BSSEvent bss;
    bss.set_score(std::string("1.5"));
    expectWire(LGCP::Signal(LGCP::Signal::bss::index, bss), "50 03 31 2E 35");

    LGCP::SelcalEvent selcal;
    selcal.set_in_progress(true);
    expectWire(LGCP::Signal(LGCP::Signal::selcal::index, selcal), "59");
}

TEST(LgcpWire, TrunkAndTrunkBriDifferOnlyInTheirIndex) {
    LGCP::TrunkParams trunk;
    trunk.set_trunk(1u);
    trunk.set_timeslot(5u);
    expectWire(LGCP::CreateParams(LGCP::CreateParams::trunk::index, trunk), "1C 01 28");
    expectWire(LGCP::CreateParams(LGCP::CreateParams::trunk_bri::index, trunk), "20 01 28");
}

TEST(LgcpWire, BoundedCreationFieldsTakeTheirFixedWidths) {
    LGCP::SharedChannel shared;
    shared.set_bus(3u);
    shared.set_channel(100u);
    expectWire(shared, "3C 80");

    LGCP::AtsQsigBParams qsig;
    qsig.set_slot(513u);
    qsig.set_subslot(3u);
    expectWire(qsig, "00 02 01 80");

    expectWire(LGCP::MapParams(), "00");

    LGCP::PlayerParams player;
    player.select_file();
    expectWire(player, "40 00 01 00");
}

TEST(LgcpWire, IoctlRequestsCodeASixBitIndex) {
    LGCP::IoctlParams mute(LGCP::IoctlParams::mute_enable::index, LGCP::MuteParams());
    expectWire(mute, "34 00");
    LGCP::IoctlParams tonec;
    tonec.select_activateTonec();
    expectWire(tonec, "04 00");
    expectWire(LGCP::IoctlParams(LGCP::IoctlParams::sd_params::index), "2E");

    LGCP::DTMFParams dtmf;
    dtmf.set_threshold().set_twist(1u);
    dtmf.set_threshold().set_ratio(2u);
    dtmf.set_threshold().set_noise(3u);
    dtmf.set_level().set_silence(4u);
    expectWire(LGCP::IoctlParams(LGCP::IoctlParams::dtmf_params::index, dtmf),
               "14 00 01 00 02 00 03 00 04");

    expectWire(LGCP::IoctlResponse(LGCP::IoctlResponse::stopRecording::index,
                                   LGCP::StopRecordingCause::userRequest),
               "18");
}

TEST(LgcpWire, AFreshResourceReportCodesEveryCounterAndEmptyLists) {
    LGCP::Resources r;
    r.set_mux(true);
    expectWire(r,
               "00 01 00 01 00 01 00 01 00 01 00 01 00 01 00 00 80 01 00 01 00 01 00 00 01 00 01 "
               "00 01 00 01 00");
}

TEST(LgcpWire, StatusItemsCodeTheirPresenceAndBoundedFields) {
    expectWire(LGCP::TermCounter(), "00 01 00");
    LGCP::FramerInfo framer;
    framer.set_e1(3u);
    framer.set_info().select_link(true);
    expectWire(framer, "6C");
}

TEST(AcpWire, TrunkStatusStartsWithItsExtensionBit) {
    expectWire(ACP::TrunkType(ACP::TrunkType::bri), "40");
    ACP::TrunkStatus status;
    status.set_trunk(1);
    expectWire(status, "00 01 01 00 01 00 01 00 01 00 01 00 01 00 00 00");
}

TEST(MonWire, MessagesStartWithTheTwoBitPduIndex) {
    MON::Message m;
    m.set_pdu().select_command().select_ping();
    expectWire(m, "18");
    MON::SnmpTrapsink sink;
    sink.set_host(std::string("a"));
    expectWire(sink, "00 01 61");
    expectWire(MON::CommonResponse(MON::CommonResponse::error::index, MON::ErrorCause::wrongValue),
               "A0");
}

TEST(HspBaseWire, ControllerStatusAndSixtyFourBitCounters) {
    expectWire(HSP::ControllerStatus(HSP::ControllerStatus::notrun), "A0");
    expectWire(BASE::INTEGER64Bits(), "01 00 01 00");
}

TEST(TermWire, HostAddressStartsWithTheTextLength) {
    TERM::HostAddress host;
    host.set_iaddr(std::string("10.0.0.1"));
    host.set_port(5060u);
    expectWire(host, "08 31 30 2E 30 2E 30 2E 31 13 C4");
    host.set_port(65536u);
    EXPECT_EQ(per(host), "encode failed");
}

TEST(TermWire, RtpParamsCodeTwelvePresenceBitsAndBoundedFields) {
    TERM::RtpParams rtp;
    rtp.set_payload(TERM::Payload::ptG729);
    rtp.set_dhost().set_iaddr(std::string("a"));
    rtp.set_dhost().set_port(1u);
    expectWire(rtp, "00 00 30 01 61 00 01");

    rtp.set_dname(std::string());
    EXPECT_EQ(per(rtp), "encode failed");
    rtp.set_dname(std::string(65, 'x'));
    EXPECT_EQ(per(rtp), "encode failed");
    rtp.set_dname(std::string(64, 'x'));
    EXPECT_NE(per(rtp), "encode failed");
    rtp.set_dname(std::string("x"));
    EXPECT_NE(per(rtp), "encode failed");

    rtp.set_ssrc(4294967295u);
    EXPECT_NE(per(rtp), "encode failed");
    rtp.set_ttl(0u);
    EXPECT_EQ(per(rtp), "encode failed");
    rtp.set_ttl(255u);
    EXPECT_NE(per(rtp), "encode failed");

    expectWire(TERM::Payload(TERM::Payload::ptR2S), "F6");
    expectWire(TERM::IpQoSDSCP(TERM::IpQoSDSCP::cs7), "E0");
}

TEST(TermWire, RadioValuesOutsideTheirRangesCannotBeEncoded) {
    TERM::RadioFlags flags;
    flags.set_selcall(3u);
    flags.set_li(511u);
    EXPECT_NE(per(flags), "encode failed");
    flags.set_selcall(4u);
    EXPECT_EQ(per(flags), "encode failed");
    flags.set_selcall(3u);
    flags.set_li(512u);
    EXPECT_EQ(per(flags), "encode failed");
    EXPECT_EQ(per(TERM::RadioStandby(TERM::RadioStandby::not_use)), "encode failed");
    expectWire(TERM::RadioStandby(TERM::RadioStandby::standby), "80");
}

TEST(TermWire, KvelCommandsCodeTheirIndexAmongTwentyAndRadioFlagsAlignTheirLi) {
    TERM::KvelRadioModifierParams ptt(TERM::KvelRadioModifierParams::gw_set_ptt::index,
                                      TERM::RadioCommandGWSetFlags());
    expectWire(ptt, "08 01 00 00 00 00 00");
}

TEST(TermWire, Ed137BoundsAndNumberedCauseCodes) {
    TERM::ED137RadioResponse response;
    response.set_fid(112000u);
    EXPECT_NE(per(response), "encode failed");
    response.set_fid(399975u);
    EXPECT_NE(per(response), "encode failed");
    response.set_fid(111999u);
    EXPECT_EQ(per(response), "encode failed");
    response.set_fid(399976u);
    EXPECT_EQ(per(response), "encode failed");
    response.set_fid(112000u);
    response.set_r2s_keepalive_period(19u);
    EXPECT_EQ(per(response), "encode failed");
    response.set_r2s_keepalive_period(20u);
    EXPECT_NE(per(response), "encode failed");

    expectWire(TERM::ED137CauseCode(TERM::ED137CauseCode::radio_session_pre_emption), "00 07 D0");
    expectWire(TERM::ED137RadioRxCommand(), "00 00 00");
}

TEST(RereiraWire, PacketListsAndIdentifiersCodeTheirNumbers) {
    expectWire(RERIRA::ProtoKvelPackets(), "00 00");
    auto id = decoded<RERIRA::ProtoKvelMsgID>("00 10 68");
    ASSERT_TRUE(id);
    EXPECT_EQ(id->asInt(), 4200);
    expectWire(RERIRA::ProtoKvelPacketP1SrvAckPayload(), "00");
    expectWire(RERIRA::ProtoKvelAnalogRadioState(), "00");
}

TEST(RereiraWire, AProtoKvelCommandDecodes) {
    RERIRA::ProtoKvelPacket packet;
    packet.set_msgID(RERIRA::ProtoKvelMsgID::dli_keep_alive);
    RERIRA::ProtoKvelPacketPayloadRadioDigitalKeepAliveV1 alive;
    alive.ref_channels().push_back(RERIRA::ProtoKvelPacketPayloadRadioChannelDigitalKeepAliveV1());
    packet.set_payload().select_dli_keep_alive().select_radio_v1(alive);
    RERIRA::ProtoKvelPackets packets;
    packets.ref_packets().push_back(packet);
    LGCP::Message m;
    m.set_seq(1);
    m.set_pdu().select_command().select_protoKvel(packets);
    std::string const bytes = per(m);
    ASSERT_NE(bytes, "encode failed");
    auto back = decoded<LGCP::Message>(bytes);
    ASSERT_TRUE(back);
    EXPECT_TRUE(*back == m);
    auto const& list = back->get_pdu().get_command().get_protoKvel().get_packets();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(list[0].get_payload().get_dli_keep_alive().radio_v1_isSelected());
}
