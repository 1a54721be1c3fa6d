#pragma once
// The TDM cross-connect switch of /dev/hal: every port 0 to 10239 (the bus
// outputs are 8192 to 10239) is off, sends a constant byte or takes the
// byte of a source port. Reading a port gives the byte on it, with the bits
// of the port's stuck mask set (a stuck bit of the bus); a port that nothing
// drives reads 0xFF. Ports beyond 10239 are refused with EINVAL.
//
// Board-tool commands:
//   mux                 how many bus outputs are off, then every port not off
//   mux PORT            one port
//   mux stuck PORT MASK bits that always read as 1 on that port (0: none)

#include <cstdint>
#include <vector>

#include "hardware/simboard/model.h"

namespace SimBoard {

class MuxModel : public Model {
public:
    static constexpr uint32_t ports = 10240;
    static constexpr uint32_t first_bus_output = 8192;

    explicit MuxModel(Board& board);

    char const* name() const override { return "mux"; }
    char const* path() const override { return "/dev/hal"; }
    std::vector<Request> const& requests() const override;
    int serve(OpenFile& file, Request const& request, uint8_t* record,
              unsigned long value) override;
    void command(Words const& words, std::ostream& out) override;

    // The byte on a port, stuck bits included.
    uint8_t read(uint32_t port) const;

private:
    static constexpr int32_t off = -1;
    static constexpr int32_t constant = -2;

    uint8_t driven(uint32_t port, int depth) const;
    void print(std::ostream& out, uint32_t port) const;

    std::vector<int32_t> state_;  // off, constant, or the source port
    std::vector<uint8_t> byte_;   // the constant byte
    std::vector<uint8_t> stuck_;
};

}  // namespace SimBoard
