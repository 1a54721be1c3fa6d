#pragma once
// The echo buses of the board, as the switch driver of /dev/hal reports
// them: a mask with bit n set for each available bus n. Buses 0 and 1 are
// available unless the description says otherwise.
//
// Board-tool commands:
//   echo                the available buses
//   echo none | echo BUS...   which buses are available (read by the server
//                       once, when it starts)

#include <cstdint>

#include "hardware/simboard/model.h"

namespace SimBoard {

class EchoModel : public Model {
public:
    explicit EchoModel(Board& board) : Model(board) {}

    char const* name() const override { return "echo"; }
    char const* path() const override { return "/dev/hal"; }
    std::vector<Request> const& requests() const override;
    int serve(OpenFile& file, Request const& request, uint8_t* record,
              unsigned long value) override;
    void command(Words const& words, std::ostream& out) override;

private:
    uint32_t buses_ = 0x3;
};

}  // namespace SimBoard
