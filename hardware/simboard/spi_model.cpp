#include "hardware/simboard/spi_model.h"
#include "hardware/device/hal_driver.h"

#include <iomanip>

namespace SimBoard {

namespace {

std::vector<Request> const spi_requests = {
    {Device::HAL_SPI_READ, "HAL_SPI_READ", Request::pointer, Device::SpiRecord::size},
    {Device::HAL_SPI_WRITE, "HAL_SPI_WRITE", Request::pointer, Device::SpiRecord::size},
};

}  // namespace

SpiModel::SpiModel(Board& board) : Model(board) {
    for (auto& framer : register_) framer[status_register] = 0xC5;
}

std::vector<Request> const& SpiModel::requests() const {
    return spi_requests;
}

int SpiModel::serve(OpenFile&, Request const& request, uint8_t* record, unsigned long) {
    if (!present_) return -ENODEV;
    uint8_t const framer = record[Device::Spi::framer];
    if (framer >= framers) return -EINVAL;
    uint8_t& reg = register_[framer][record[Device::Spi::reg]];
    if (request.number == Device::HAL_SPI_READ) return reg;
    reg = record[Device::Spi::value];
    return 0;
}

void SpiModel::print(std::ostream& out, uint32_t framer, uint32_t reg) const {
    out << reg << "=0x" << std::hex << std::setw(2) << std::setfill('0')
        << int(register_[framer][reg]) << std::dec;
}

void SpiModel::command(Words const& words, std::ostream& out) {
    unsigned long framer = 0, reg = 0, value = 0;
    bool const addressed = words.size() >= 3 && words.size() <= 4 && NumberOf(words[1], framer) &&
                           framer < framers && NumberOf(words[2], reg) && reg < registers;
    if (words.size() == 1) {
        out << "spi " << (present_ ? "present" : "absent") << '\n';
        for (uint32_t f = 0; f < framers; ++f) {
            out << "framer " << f << ':';
            for (uint32_t r = 0; r < registers; ++r)
                if (register_[f][r]) print(out << ' ', f, r);
            out << '\n';
        }
    } else if (words.size() == 2 && words[1] == "help") {
        out << "spi                                     the SPI framers' registers\n"
               "spi absent | spi present                a board without or with SPI\n"
               "spi FRAMER REGISTER [VALUE]             shows or sets a register\n";
    } else if (words.size() == 2 && (words[1] == "absent" || words[1] == "present")) {
        present_ = words[1] == "present";
    } else if (addressed && words.size() == 3) {
        print(out << "framer " << framer << ' ', uint32_t(framer), uint32_t(reg));
        out << '\n';
    } else if (addressed && NumberOf(words[3], value) && value <= 0xFF) {
        register_[framer][reg] = uint8_t(value);
    } else {
        out << "error: spi wants nothing, absent, present, or FRAMER (0 to 7) REGISTER "
               "(0 to 255) [VALUE (0 to 255)]\n";
    }
}

}  // namespace SimBoard
