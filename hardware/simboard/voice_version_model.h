#pragma once
// The voice driver's version on /dev/voice: the five words it answers to
// the version request (1 0 0 0 0 unless told otherwise).
//
// Board-tool commands:
//   voice-version                 the five words
//   voice-version W1 W2 W3 W4 W5  what the driver answers from now on

#include <cstdint>

#include "hardware/simboard/model.h"

namespace SimBoard {

class VoiceVersionModel : public Model {
public:
    explicit VoiceVersionModel(Board& board) : Model(board) {}

    char const* name() const override { return "voice-version"; }
    char const* path() const override { return "/dev/voice"; }
    std::vector<Request> const& requests() const override;
    int serve(OpenFile& file, Request const& request, uint8_t* record,
              unsigned long value) override;
    void command(Words const& words, std::ostream& out) override;

private:
    uint32_t words_[5] = {1, 0, 0, 0, 0};
};

}  // namespace SimBoard
