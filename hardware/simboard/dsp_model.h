#pragma once
// The voice DSP of /dev/dsp: per timeslot (0 to 10239) whether VAD, SD,
// BSS and the noise gate are on and with which id, the muted directions,
// the VAD configuration as the driver's interface version reads it, the
// delays, the receive gain and the tone filters. The interface version is 2
// unless told otherwise. Events go to the server as 24-byte records.
//
// Board-tool commands:
//   dsp [TS]                   the state of every timeslot used, or of one
//   dsp version [N]            the interface version the driver reports
//   dsp vad TS RX|- TX|- [stale | id ID]    voice activity ("-": not reported)
//   dsp sd TS RX [stale | id ID]            signal detection
//   dsp bss TS SCORE [stale | id ID]        a BSS score
//   dsp tone TS FREQ PRESENCE [id ID]       a tone filter's report
//   dsp flags TS FLAGS MASK [id ID]         a flags record
//   dsp short BYTES                         a record cut to BYTES bytes (0 to 23)
// The id is the feature's current one unless "stale" (another one) or an
// id is given; tone and flags records carry 0.

#include <cstdint>
#include <map>

#include "hardware/simboard/model.h"

namespace SimBoard {

class DspModel : public Model {
public:
    static constexpr uint32_t timeslots = 10240;

    explicit DspModel(Board& board) : Model(board) {}

    char const* name() const override { return "dsp"; }
    char const* path() const override { return "/dev/dsp"; }
    std::vector<Request> const& requests() const override;
    int serve(OpenFile& file, Request const& request, uint8_t* record,
              unsigned long value) override;
    void command(Words const& words, std::ostream& out) override;

private:
    struct Feature {
        bool on = false;
        uint32_t id = 0;
    };
    struct Filter {
        unsigned enable;
        unsigned duration_ms;
        int level_dB;
    };
    struct Timeslot {
        Feature vad, sd, bss, ng;
        bool mute_rx = false;
        bool mute_tx = false;
        uint32_t mute_id = 0;
        // As the version read it: voice ms, silence ms, energy dB (version
        // 2), or the three fixed words.
        bool vad_configured = false;
        bool vad_v2 = false;
        int32_t vad_config[3] = {};
        bool sd_configured = false;
        uint32_t delays[3] = {};
        int8_t gain_dB = 0;
        std::map<unsigned, Filter> filters;  // by frequency
    };

    int configure(Timeslot& t, uint32_t type, uint8_t const* record);
    // The feature of an enable or disable type; null for another type.
    Feature* feature_of(Timeslot& t, uint32_t type);
    void print(std::ostream& out, uint32_t timeslot, Timeslot const& t) const;
    Timeslot const& state(uint32_t timeslot) const;
    void inject(Words const& words, std::ostream& out);

    std::map<uint32_t, Timeslot> timeslots_;
    int version_ = 2;
};

}  // namespace SimBoard
