// The board's services in-process against the simulated board: the SPI
// framers' status decoding and slip latch, their descriptor; the CAS
// descriptor's poll handling.

#include <fcntl.h>
#include <poll.h>

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/board_tool.h"
#include "tests/support/board.h"
#include "tests/support/capture.h"
#include "tests/support/temp_root.h"
#include "hardware/device/record.h"
#include "hardware/e1_ctl.h"
#include "hardware/spi_ctrl.h"
#include "tests/support/loop.h"

using support::board;

namespace {

support::TempRoot const root;

// A server with no link whose other service keeps, briefly, every signal
// the service under test sends (the server's "send fail" lines are muted).
class Bench : public CtrlSrv::Service {
public:
    explicit Bench(CtrlSrv::Service& service) {
        server.Bind(this);
        server.Bind(&service);
    }
    void OnConnect() override {}
    void OnDisconnect() override {}
    bool OnCommand(LGCP::Command const&) override { return false; }
    void OnSignal(LGCP::Signal const& signal) override {
        LGCP::Message message;
        message.set_pdu().select_signal(signal);
        seen += (seen.empty() ? "" : "; ") + support::brief(message);
    }

    support::StreamCapture quiet{std::cerr};
    CtrlSrv::Server server;
    std::string seen;
};

void statusRegisters(std::vector<unsigned> const& values) {
    for (size_t ch = 0; ch < values.size(); ++ch)
        board("spi " + std::to_string(ch) + " 51 " + std::to_string(values[ch]));
}

}  // namespace

TEST(SpiCtrl, TheStatusRegisterGivesTheLineStateAndOneLatchTheSlipsOfAllFramers) {
    spiCtrl spi;
    Bench bench(spi);
    // Child programs do not inherit its descriptor.
    EXPECT_EQ(fcntl(spi.descriptor(), F_GETFD), FD_CLOEXEC);
    statusRegisters({0xC5, 0x85, 0x45, 0x05, 0x01, 0x04, 0xFF, 0x00});
    spi.status();
    EXPECT_EQ(bench.seen,
              "bri 0 normal 0 0 0 0 0; bri 1 rai 0 0 0 0 0; bri 2 ais 0 0 0 0 0; "
              "bri 3 ais 0 0 0 0 0; bri 4 lossBF 0 0 0 0 0; bri 5 lossCarrier 0 0 0 0 0; "
              "bri 6 normal 1 0 0 0 0; bri 7 lossCarrier 0 0 0 0 0");
    // The slips of two polls in a row; the latch is clear before the first.
    unsigned const ok = 0xC5, slip = 0xE5;
    struct Case {
        std::vector<unsigned> registers;
        char const* slips;
    } const cases[] = {
        {{ok, ok, ok, slip, slip, ok, ok, ok}, "0001000000010000"},
        {{slip, ok, ok, ok, ok, ok, ok, ok}, "1000000010000000"},
        {{slip, slip, slip, slip, slip, slip, slip, slip}, "1000000000000000"},
    };
    for (Case const& c : cases) {
        statusRegisters(std::vector<unsigned>(8, ok));
        spi.status();
        statusRegisters(c.registers);
        bench.seen.clear();
        spi.status();
        spi.status();
        std::string slips;
        for (size_t at = bench.seen.find(" normal "); at != std::string::npos;
             at = bench.seen.find(" normal ", at + 1))
            slips += bench.seen[at + 8];
        EXPECT_EQ(slips, c.slips);
    }
}

TEST(E1Ctl, TheCasDescriptorIsReadOnlyWhenReadableAndClosedWhenItHangsUp) {
    E1Ctl e1;
    Bench bench(e1);
    support::StreamCapture errors(std::cerr);
    ASSERT_TRUE(e1.CheckOpenCas());
    SimBoard::Board& sim = SimBoard::Board::instance();
    Device::Record<12> record{2, 7};
    record[8] = 5;
    record[9] = 3;
    ASSERT_TRUE(sim.post(*sim.opens("/dev/e1-cas").at(0), record.data(), 12));
    e1.OnUpdateCas(-1, 0);  // after a poll that found another descriptor ready
    EXPECT_EQ(bench.seen, "");
    e1.OnUpdateCas(-1, POLLIN);
    EXPECT_EQ(bench.seen, "cas 2/7 rx 5 tx 3");
    ASSERT_TRUE(sim.post(*sim.opens("/dev/e1-cas").at(0), record.data(), 5));
    e1.OnUpdateCas(-1, POLLIN);
    EXPECT_EQ(bench.seen, "cas 2/7 rx 5 tx 3");

    board("hangup e1-cas");
    EXPECT_TRUE(support::runUntil([&] { return !e1.cas_interface_open(); }, 2000));
    EXPECT_NE(errors.text().find(
                  "E1: cas record of 5 bytes dropped\nE1: cas interface closed: hang-up\n"),
              std::string::npos);
    // The next CAS command opens it again.
    LGCP::Command get;
    std::istringstream text("ioctl : cas : { channel { path 0, timeslot 5 }, cmd get : NULL }");
    ASSERT_EQ(get.get_from(text), 0);
    EXPECT_TRUE(e1.OnCommand(get));
    EXPECT_TRUE(e1.cas_interface_open());
}
