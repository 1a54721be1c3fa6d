#pragma once
// The E1 framers of /dev/maintenance: four trunks, each with its line state
// and error counters as the framer status request reports them, and the
// TCLK mask the server last pushed. A trunk outside 0 to 3 is refused with
// EINVAL.
//
// Board-tool commands:
//   e1                        every trunk's state and counters, and the mask
//   e1 TRUNK FIELD VALUE      sets a trunk's state (a name or a number) or
//                             one of its counters

#include <cstdint>

#include "hardware/simboard/model.h"

namespace SimBoard {

class E1Model : public Model {
public:
    static constexpr uint32_t trunks = 4;

    explicit E1Model(Board& board) : Model(board) {}

    char const* name() const override { return "e1"; }
    char const* path() const override { return "/dev/maintenance"; }
    std::vector<Request> const& requests() const override;
    int serve(OpenFile& file, Request const& request, uint8_t* record,
              unsigned long value) override;
    void command(Words const& words, std::ostream& out) override;

private:
    // The state, then the counters in the order of the status record.
    static constexpr int fields = 6;

    bool set(Words const& words);

    uint32_t trunk_[trunks][fields] = {};
    uint32_t tclk_ = 0;
};

}  // namespace SimBoard
