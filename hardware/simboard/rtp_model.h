#pragma once
// The RTP engine of /dev/rtp (hardware/device/rtp_driver.h): each open may
// hold one session with its parameters, the socket attached to it and its
// packet detection. An open's first session takes the lowest free switch
// port from 4096 on (with its DSP and channel, 32 channels a DSP), which the
// open keeps until its last close. A session takes one channel of its
// transmit codec's kind from the voice driver's counts, so VOICE_COUNT
// reports fewer while it is open: G.729 (payload type 18) selector 4, G.723
// (4) selector 2, G.711 (0, 8) selector 1, G.711 on MCC (128, 136) selector
// 8, any other the universal selector 65.
//
// Board-tool commands:
//   rtp                  every open with its port and session
//   rtp pd PORT VALUE TIMEOUT
//                        a packet-detection event of the session on PORT
//   rtp event PORT TYPE VALUE TIMEOUT
//                        an event record of any type
//   rtp short PORT BYTES an event record cut to BYTES bytes (0 to 35)
//   rtp end PORT         the open's reads give end of file from now on

#include <cstdint>
#include <vector>

#include "hardware/simboard/model.h"

namespace SimBoard {

class VoiceModel;

class RtpModel : public Model {
public:
    static constexpr uint32_t first_port = 4096;
    static constexpr uint32_t last_port = 8191;
    static constexpr uint32_t channels_per_dsp = 32;

    RtpModel(Board& board, VoiceModel& voice);

    char const* name() const override { return "rtp"; }
    char const* path() const override { return "/dev/rtp"; }
    std::vector<Request> const& requests() const override;
    int serve(OpenFile& file, Request const& request, uint8_t* record,
              unsigned long value) override;
    void command(Words const& words, std::ostream& out) override;
    void closed(OpenFile& file) override;

    // The voice selector whose channels a session of the transmit payload
    // type takes.
    static uint32_t selector_of(uint32_t tx_pt);

private:
    struct Session {
        uint32_t packet_factor, rx_pt, tx_pt, ssrc, crate, vad, ttl, tos;
        uint32_t selector;
        bool attached = false;
        int32_t fd = -1, pid = -1;
        bool pd = false;
        uint32_t pd_timeout = 0;
    };
    struct Open {
        OpenFile* file;
        uint32_t port;
        bool has_session = false;
        Session session{};
    };

    Open* find(OpenFile const& file);
    Open* find(std::string const& port, std::ostream& out);
    int open_session(OpenFile& file, uint8_t const* record);
    int attach(Session& session, uint8_t const* record);
    void end_session(Open& open);
    void list(std::ostream& out) const;
    void inject(Words const& words, std::ostream& out);

    VoiceModel& voice_;
    std::vector<Open> opens_;  // by port
};

}  // namespace SimBoard
