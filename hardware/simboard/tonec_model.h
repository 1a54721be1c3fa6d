#pragma once
// The tone DSP of /dev/dtmf: per timeslot (0 to 10239) the DTMF detector
// (its configuration, whether it is on and with which id), the echo
// canceller, DTMF rejection, the IVA detector, the tone generator with a
// time-stamped history of what it was set to, and the last SELCAL dialled.
// Detected digits and tones go to the server as 16-byte event records.
//
// Board-tool commands:
//   dtmf [TS]            the state of every timeslot used, or of one
//   dtmf dial TS         the generator settings of the timeslot, oldest
//                        first: +MS since the first, F1 F2 A1 A2
//   dtmf detect TS CODE [at STAMP] [stale | id ID]
//                        a detected digit or tone (a number, or ced, cng,
//                        ringoff, iva:N) with the detector's id, another
//                        one, or the one given
//   dtmf short BYTES     a record cut to BYTES bytes (0 to 15)

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <string>

#include "hardware/simboard/model.h"

namespace SimBoard {

class TonecModel : public Model {
public:
    static constexpr uint32_t timeslots = 10240;
    static constexpr size_t dial_history = 1024;

    explicit TonecModel(Board& board);

    char const* name() const override { return "dtmf"; }
    char const* path() const override { return "/dev/dtmf"; }
    std::vector<Request> const& requests() const override;
    int serve(OpenFile& file, Request const& request, uint8_t* record,
              unsigned long value) override;
    void command(Words const& words, std::ostream& out) override;

private:
    struct Dial {
        uint32_t at_ms;
        uint16_t f1, f2, a1, a2;
    };
    struct Timeslot {
        bool configured = false;
        uint32_t twist = 0, ratio = 0, silence = 0, noise = 0;
        bool detector = false;
        uint32_t id = 0;
        bool lms = false;
        bool rejection = false;
        bool iva = false;
        bool iva_configured = false;
        int32_t iva_level = 0;
        uint16_t generator[4] = {};
        std::deque<Dial> dials;
        std::string selcal;
        uint16_t selcal_amplitude = 0;
    };

    uint32_t now_ms() const;
    // The timeslot's state, without making an entry for it.
    Timeslot const& state(uint32_t timeslot) const;
    void print(std::ostream& out, uint32_t timeslot, Timeslot const& t) const;
    void detect(Words const& words, std::ostream& out);

    std::map<uint32_t, Timeslot> timeslots_;
    std::chrono::steady_clock::time_point const start_;
};

}  // namespace SimBoard
