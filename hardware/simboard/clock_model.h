#pragma once
// The TDM clock-source select of /dev/hal: the source last selected, none
// before the first selection. Sources 0 to 15 exist; a higher one is refused
// with EINVAL.
//
// Board-tool command:
//   clock                     the selected source

#include <cstdint>

#include "hardware/simboard/model.h"

namespace SimBoard {

class ClockModel : public Model {
public:
    static constexpr uint32_t sources = 16;

    explicit ClockModel(Board& board) : Model(board) {}

    char const* name() const override { return "clock"; }
    char const* path() const override { return "/dev/hal"; }
    std::vector<Request> const& requests() const override;
    int serve(OpenFile& file, Request const& request, uint8_t* record,
              unsigned long value) override;
    void command(Words const& words, std::ostream& out) override;

private:
    int64_t source_ = -1;
};

}  // namespace SimBoard
