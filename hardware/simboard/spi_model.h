#pragma once
// The BRI framers behind the SPI bus of /dev/hal: eight framers (0 to 7) of
// 256 byte-wide registers. A write stores the byte; a read returns it as the
// request's result. Status register 51 starts at 0xC5 (line in sync, no
// alarm, no slips) and changes only when written. A framer outside 0 to 7
// is refused with EINVAL; a board without SPI answers every SPI request
// with ENODEV.
//
// Board-tool commands:
//   spi                             present or absent, then each framer's
//                                   registers that are not 0
//   spi absent | spi present        takes the SPI bus away or gives it back
//   spi FRAMER REGISTER [VALUE]     shows or sets one register

#include <cstdint>

#include "hardware/simboard/model.h"

namespace SimBoard {

class SpiModel : public Model {
public:
    static constexpr uint32_t framers = 8;
    static constexpr uint32_t registers = 256;
    static constexpr uint8_t status_register = 51;

    explicit SpiModel(Board& board);

    char const* name() const override { return "spi"; }
    char const* path() const override { return "/dev/hal"; }
    std::vector<Request> const& requests() const override;
    int serve(OpenFile& file, Request const& request, uint8_t* record,
              unsigned long value) override;
    void command(Words const& words, std::ostream& out) override;

private:
    void print(std::ostream& out, uint32_t framer, uint32_t reg) const;

    bool present_ = true;
    uint8_t register_[framers][registers] = {};
};

}  // namespace SimBoard
