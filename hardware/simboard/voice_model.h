#pragma once
// The voice driver of /dev/voice: VOICE_COUNT takes a codec selector as its
// argument value and returns how many channels of that kind the board has.
// The RTP factories ask it for the selectors 4 (G.729), 2 (G.723), 1 (G.711),
// 8 (G.711 on MCC) and 65 (universal); a selector without a count gives 0.
// The RTP engine's sessions take channels from these counts, and the
// request reports only the free ones.
//
// Board-tool commands:
//   voice                        the count of every selector that has one,
//                                and how many are in use when any are
//   voice count SELECTOR COUNT   the count VOICE_COUNT gives for SELECTOR

#include <cstdint>
#include <map>
#include <vector>

#include "hardware/simboard/model.h"

namespace SimBoard {

class VoiceModel : public Model {
public:
    static constexpr uint32_t max_count = 65535;

    explicit VoiceModel(Board& board);

    char const* name() const override { return "voice"; }
    char const* path() const override { return "/dev/voice"; }
    std::vector<Request> const& requests() const override;
    int serve(OpenFile& file, Request const& request, uint8_t* record,
              unsigned long value) override;
    void command(Words const& words, std::ostream& out) override;

    // Takes a free channel of the selector's kind; false when none is free.
    bool take(uint32_t selector);
    void give(uint32_t selector);

private:
    uint32_t free(uint32_t selector) const;

    std::map<uint32_t, uint32_t> counts_;  // by selector
    std::map<uint32_t, uint32_t> in_use_;  // by selector
};

}  // namespace SimBoard
