// The radio header extensions as Wireshark reads them: the octets the codec
// writes go into a capture file and come back through tshark's dissectors,
// field by field (the RTCP reports are read so in rtp_e2e_test.cpp).

#include <gtest/gtest.h>

#include "rtp/radio/r2s_proto.h"
#include "tests/support/dissector.h"
#include "tests/support/radio_values.h"

using namespace support;
using PTT = TERM::ED137RadioPTT;
using Method = TERM::ED137RadioBSSMethod;

namespace {

constexpr uint16_t port = 5004;

// An R2S keep-alive (payload type 123, no voice) that carries the extension.
Bytes keepAlive(Bytes const& extension) {
    return udpPacket(port, port, hex("90 7B 00 01 00 00 00 00 CA FE 00 01 " + text(extension)));
}

}  // namespace

TEST(Dissected, RadioHeaderExtensionsReadWithTheFieldsOfTheirLayout) {
    TERM::ED137RadioExtensionSQI const sqi = ed137Sqi(Method::c_n, 20);
    struct Case {
        uint16_t profile;
        TERM::ED137RadioHeader header;
        // The first layout: ptt_type squ ptt_id sct x ft.type ft.len qidx qidx-ml;
        // the later: ptt_type squ ptt_id pm ptts sct x ft.type ft.len qidx qidx-ml.
        std::vector<std::string> fields;
    } const cases[] = {
        {r2s_proto::profile_v0,
         ed137Header(PTT::priority_ptt_on, true, 9),
         {"0x0067", "3", "1", "9", "0", "1", "0x00000001", "1", "20", "2"}},
        {r2s_proto::profile_v1,
         ed137Header(PTT::emergency_ptt_on, false, 63, true, false, true),
         {"0x0167", "4", "0", "63", "1", "0", "1", "1", "0x01", "1", "20", "2"}},
    };
    std::string const first = "rtp.ext.ed137.", later = "rtp.ext.ed137a.";
    for (Case const& c : cases) {
        r2s_proto::Encoded const encoded = r2s_proto::encode(c.profile, c.header, &sqi);
        SCOPED_TRACE(text(encoded.bytes));
        ASSERT_EQ(encoded.fault, "");
        std::vector<std::string> fields = {"rtp.ext.profile"};
        if (c.profile == r2s_proto::profile_v0) {
            for (char const* f : {"ptt_type", "squ", "ptt_id", "sct", "x", "ft.type", "ft.len",
                                  "ft.bss.qidx", "ft.bss.qidx-ml"})
                fields.push_back(first + f);
        } else {
            for (char const* f : {"ptt_type", "squ", "ptt_id", "pm", "ptts", "sct", "x", "ft.type",
                                  "ft.len", "ft.sqi.qidx", "ft.sqi.qidx-ml"})
                fields.push_back(later + f);
        }
        fields.push_back("_ws.malformed");
        Dissection const d = dissect(LinkType::ipv4, {keepAlive(encoded.bytes)}, fields,
                                     {"-d", "udp.port==" + std::to_string(port) + ",rtp"});
        ASSERT_EQ(d.error, "");
        ASSERT_EQ(d.rows.size(), 1u);
        std::vector<std::string> expected = c.fields;
        expected.push_back("");
        EXPECT_EQ(d.rows[0], expected);
    }
}
