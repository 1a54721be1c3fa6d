#pragma once
// The bus tests of the controller's `testBpc`: a stretch of timeslots of one
// internal TDM bus tested through the switch. `write` makes each output of
// the stretch send a pseudo-random byte and reads the bytes back; `read`
// only reads them and compares them with what a `write` with the same seed
// sends; `disconnect` switches the stretch off. The pattern is the C
// library's random() after srandom(seed), low 8 bits, one value per
// timeslot in ascending order. A stretch running past timeslot 127 goes on
// into the next bus's outputs; past the last bus the switch refuses them.
//
// A mismatch is answered `busError` after a line on the error stream that
// names the first timeslot that differs. Each test runs to completion
// inside the command, with the short settling sleeps the switch needs.

#include <cstdint>
#include <ostream>

#include "server/ctrl_server.h"

class HwTests : public CtrlSrv::Service {
public:
    static HwTests& instance();

    void OnConnect() override {}
    void OnDisconnect() override {}
    bool OnCommand(LGCP::Command const& command) override;

    // "bus 3: "
    void PutHeader(std::ostream& os) const;

private:
    void ReadTest();
    void WriteTest();
    void DisconnectTest();
    // Reads the stretch back against the pattern from its start and answers
    // success when every byte matches; else reports the first mismatch as
    // "<failed> on channel <timeslot> <expected> <byte> <got> <byte>" and
    // answers busError.
    void Verify(char const* failed, char const* expected, char const* got);

    uint32_t bus_ = 0;
    uint32_t first_ = 0;
    uint32_t end_ = 0;
    uint32_t seed_ = 0;
};
