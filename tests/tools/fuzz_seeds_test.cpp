// The seed frames of the control link's fuzz target that reach the RTP,
// radio, signalling and display services: each seed is written here as its
// messages in value notation, encoded with the controller tool's encoder and
// framed in TPKT after the piece-size octet the fuzz target reads first.
// The test fails when a committed seed file is not the encoding of its
// messages; MOBREL_WRITE_SEEDS=1 writes the files instead.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "server/tpkt_frame.h"
#include "tests/support/radio_values.h"
#include "tests/support/script.h"
#include "tools/ctl/message_text.h"

namespace {

using namespace support;

// An RTP create on 127.0.0.1 of slot 9, with the radio fields if any.
std::string rtpCreate(std::string const& payload, std::string const& radio = "") {
    return "slot 9, pdu command : create : rtp : { codecRTP { payload " + payload +
           ", dhost { iaddr \"127.0.0.1\", port 30000 }, shost { iaddr \"127.0.0.1\", port 30002 "
           "}" +
           radio + " }, txPayload " + payload + ", rxPayload " + payload + " }";
}

TEST(FuzzSeeds, AreTheEncodingOfTheirMessages) {
    std::string const ed137 =
        ", radio { status ed-137 : { header { ptt ptt-off, squ squ-off, ptt-id 9, ptt-mute FALSE, "
        "ptt-summation FALSE, sct FALSE }, radio-response { type radio-txrx, txrxmode txrx, "
        "r2s-keepalive-period 40, r2s-keepalive-multiplier 10, ptt-id 9, rtphe 0 } } }";
    std::string const kvel = ", radio { status kvel : " + oneLine(kvelStatus()) + " }";
    std::string const talk =
        oneLine(ed137Tx(ed137Header(TERM::ED137RadioPTT::normal_ptt_on, false, 9)));
    std::string const on9 = "slot 9, pdu command : ";
    // Each seed file and its commands ("slot N, pdu command : ..." after the seq).
    std::vector<std::pair<char const*, std::vector<std::string>>> const seeds = {
        {"rtp_connect_ioctl_destroy",
         {"slot 1, pdu command : create : trunk : { trunk 1, timeslot 5 }",
          rtpCreate("ptG711-Alaw"),
          on9 + "connect : 1", on9 + "ioctl : dtmf-enable : TRUE",
          on9 + "ioctl : pd-enable : { timeout 300 }", on9 + "ioctl : encoder-mode : ulaw",
          on9 + "destroy : NULL"}},
        {"radio_kvel_rtp_ext",
         {rtpCreate("ptG729", kvel), on9 + "ioctl : rtpExt : " + oneLine(kvelModifier(0)),
          on9 + "ioctl : encoder-mode : alaw", on9 + "destroy : NULL"}},
        {"radio_ed137_rtp_ext",
         {rtpCreate("ptG729", ed137), on9 + "ioctl : rtpExt : " + talk, on9 + "destroy : NULL"}},
        {"pstn_ss7",
         {"slot 2, pdu command : create : pstn : ss7 : { trunk 16, slc 2, dpc 1, opc 2, emergency "
          "FALSE }",
          "slot 2, pdu command : activate : empty : NULL",
          "slot 2, pdu command : userData : '05 10 20'H",
          "slot 2, pdu command : ioctl : ss7RqBSN : NULL",
          "slot 2, pdu command : deactivate : NULL", "slot 2, pdu command : destroy : NULL"}},
        {"hdlc_packages",
         {"slot 3, pdu command : create : hdlcParams : { trunk 5, log 1, address -1 }",
          "slot 3, pdu command : activate : empty : NULL",
          "slot 3, pdu command : ioctl : hdlcPackages : { { body 'AA'H }, { body 'BBCC'H } }",
          "slot 3, pdu command : destroy : NULL"}},
        {"isdn_and_ats_qsig",
         {"slot 4, pdu command : create : isdn : { type pri, trunk 0, log 0, side user : NULL }",
          "slot 10, pdu command : create : ats-qsig : { side network : NULL }",
          "slot 11, pdu command : create : ats-qsig-b : { slot 10, subslot 1 }",
          "slot 11, pdu command : destroy : NULL", "slot 10, pdu command : destroy : NULL",
          "slot 4, pdu command : destroy : NULL"}},
        {"display_items",
         {"pdu command : display : framer : { e1 2, info line : TRUE }",
          "pdu command : display : controller : { host { iaddr \"10.0.0.2\", port 20001 }, status "
          "active }",
          "pdu command : display : snmp-set : { commands { { uniq 7, id name : { section "
          "\"alarm\", name \"level\", index 2 }, value \"3\" } } }"}},
    };
    char const* const write = std::getenv("MOBREL_WRITE_SEEDS");
    bool const writing = write && std::string(write) == "1";
    for (auto const& [name, commands] : seeds) {
        // Piece size 0 (the stream written at once), then the frames.
        Tpkt::Bytes bytes{0};
        int seq = 1;
        for (std::string const& command : commands) {
            std::string const text = "{ seq " + std::to_string(seq++) + ", " + command + " }";
            Ctl::Encoded const message = Ctl::encodeMessage(text);
            EXPECT_EQ(message.error, "") << text;
            Tpkt::Bytes const frame = Tpkt::Frame(message.payload);
            bytes.insert(bytes.end(), frame.begin(), frame.end());
        }
        std::string const path = std::string(MOBREL_FUZZ_CORPUS) + "/" + name;
        if (writing) {
            std::ofstream(path, std::ios::binary)
                .write(reinterpret_cast<char const*>(bytes.data()), std::streamsize(bytes.size()));
            continue;
        }
        std::ifstream file(path, std::ios::binary);
        Tpkt::Bytes const committed{std::istreambuf_iterator<char>(file),
                                    std::istreambuf_iterator<char>()};
        EXPECT_EQ(committed, bytes) << name;
    }
}

}  // namespace
