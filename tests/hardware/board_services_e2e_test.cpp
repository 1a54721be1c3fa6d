// The board's services in the server program as the controller and the
// simulated board see them: E1 trunk reports, the TCLK mask and CAS; the
// SPI framers; the clock source; the bus tests.

#include <signal.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/board_tool.h"
#include "tests/support/harness.h"

using namespace support;
using namespace std::chrono_literals;

namespace {

std::string cas(int path, int timeslot, std::string const& cmd) {
    return "ioctl : cas : { channel { path " + std::to_string(path) + ", timeslot " +
           std::to_string(timeslot) + " }, cmd " + cmd + " }";
}

std::string clockCfg(char const* sel, char const* bext, int source) {
    return std::string("clockCfg : { clkSel0 ") + sel + ", bextEn " + bext + ", source " +
           std::to_string(source) + " }";
}

std::string bpc(int bus, int seed, char const* mode, int start, int length) {
    return "testBpc : { bus " + std::to_string(bus) + ", seed " + std::to_string(seed) + ", mode " +
           mode + " : NULL, timeslot-start " + std::to_string(start) + ", timeslot-length " +
           std::to_string(length) + " }";
}

// The bytes a bus test with this seed sends, as the C library makes them.
std::vector<unsigned> pattern(int seed, size_t length) {
    srandom(unsigned(seed));
    std::vector<unsigned> bytes;
    for (size_t i = 0; i < length; ++i) bytes.push_back(unsigned(random() & 0xFF));
    return bytes;
}

std::string hex(unsigned byte, char const* format = "%02X") {
    char text[8];
    std::snprintf(text, sizeof(text), format, byte);
    return text;
}

class BoardE2E : public ::testing::Test {
protected:
    // Starts the server on a board of this description and connects; the
    // reports that came before the power state, briefly.
    std::string start(std::string const& description = "", std::vector<std::string> args = {}) {
        describeBoard(server.root(), description);
        args.insert(args.end(), {"--port", std::to_string(port)});
        server.spawn(args);
        if (!server.outHas("Starting server [") || !controller.connect(port)) return "no server";
        return greeting("");
    }
    // Connects again once the server has let the last controller go.
    std::string reconnect() {
        controller.close();
        LGCP::Message first;
        // The server first spends a second on the slots of the last controller.
        bool const taken = waitFor(
            [&] { return controller.connect(port) && controller.readMessage(first, 3s); }, 10s);
        return taken ? greeting(brief(first)) : "no server";
    }
    std::string greeting(std::string reports) {
        for (LGCP::Message m;
             controller.readMessage(m) && !m.get_pdu().get_signal().power_isSelected();)
            reports += (reports.empty() ? "" : "; ") + brief(m);
        return reports;
    }
    // Sends a command written in value notation; the signals and the answer
    // that come back, the periodic trunk reports and the answer's own
    // " seq N" left out.
    std::string ask(std::string const& text, int slot = -1) {
        LGCP::Message message;
        std::istringstream in(text);
        if (message.set_pdu().select_command().get_from(in) != 0) return "unreadable: " + text;
        message.set_seq(++seq);
        if (slot >= 0) message.set_slot(unsigned(slot));
        controller.sendMessage(message);
        std::string all;
        for (LGCP::Message m; controller.readMessage(m);) {
            LGCP::PDU const& pdu = m.get_pdu();
            if (pdu.signal_isSelected() && pdu.get_signal().trunkStatus_isSelected()) continue;
            if (pdu.response_isSelected() && m.seq_isPresent() && m.get_seq().getValue() == seq)
                m.omit_seq();
            all += (all.empty() ? "" : "; ") + brief(m);
            if (pdu.response_isSelected()) break;
        }
        return all;
    }
    std::string board(std::string const& command) { return boardTool(server.root(), command); }
    std::string log(std::string const& filter) { return boardLog(server.root(), filter); }

    ServerProcess server;
    int const port = freePort();
    Controller controller;
    int seq = 0;
};

}  // namespace

TEST_F(BoardE2E, EachConnectionHearsTheE1TrunksAndStartsFromNoTclkBits) {
    EXPECT_EQ(start("e1 1 state lossCarrier\ne1 2 slips 7\ne1 2 lossCarrier 5\ne1 3 state rai\n"
                    "e1 3 lossAIS 1\ne1 3 lossRAI 3\ne1 0 lossBF 2\n"
                    "fail maintenance MAINT_E1_STATUS EIO 1\n"),
              "e1 1 lossCarrier 0 0 0 0 0; e1 2 normal 7 0 5 0 0; e1 3 rai 0 0 0 1 3");
    EXPECT_TRUE(server.errHas(
        "E1: synchronization status read fail, trunk = 0 cause = Input/output error\n"));
    // trunkCfg sets and clears TCLK bits; trunks past 31 have none.
    struct Step {
        char const* config;
        char const* pushed;  // "" for no push
    } const steps[] = {
        {"2, mode slave", "4"},           {"2, mode master", "0"},          {"0, mode slave", "1"},
        {"31, mode slave", "2147483649"}, {"40, mode slave", "2147483649"}, {"-1, mode slave", ""},
    };
    std::string pushes = "maintenance MAINT_SET_TCLK 0\n";
    for (Step const& s : steps) {
        SCOPED_TRACE(s.config);
        EXPECT_EQ(ask(std::string("trunkCfg : { trunk ") + s.config + " }"), "ok");
        if (*s.pushed) pushes += "maintenance MAINT_SET_TCLK " + std::string(s.pushed) + "\n";
        EXPECT_EQ(log("maintenance MAINT_SET_TCLK"), pushes);
    }
    EXPECT_TRUE(server.errHas("E1: TCLT = 0x80000001\n"));
    EXPECT_EQ(reconnect(),
              "e1 0 normal 0 2 0 0 0; e1 1 lossCarrier 0 0 0 0 0; "
              "e1 2 normal 7 0 5 0 0; e1 3 rai 0 0 0 1 3");
    EXPECT_TRUE(waitFor([&] { return board("e1").find("\ntclk 0x0\n") != std::string::npos; }, 5s));
}

TEST_F(BoardE2E, CasCommandsAreAnsweredBySignalsAndLineChangesReachTheController) {
    start("cas 0 5 3\n");  // bits on a channel not taken yet: no record
    struct Step {
        char const* board;  // a board-tool command first, or ""
        std::string command;
        char const* answer;
    } const steps[] = {
        {"", cas(0, 5, "open : 9"), "cas 0/0 rx 0 tx 0; cas 0/5 rx 3 tx 9; ok"},
        {"", cas(1, 0, "open : 0"), "cas 1/0 rx 0 tx 0; ok"},
        {"", cas(0, 5, "set : 21"), "cas 0/0 rx 0 tx 0; cas 0/5 rx 3 tx 5; ok"},
        {"", cas(0, 7, "close : NULL"), "cas 0/7 rx -1 tx 1; ok"},
        {"", cas(4, 5, "open : 1"), "ok"},
        {"", cas(0, 40, "open : 9"), "cas 0/0 rx 0 tx 0; cas 0/40 rx -1 tx 0; ok"},
        {"fail e1-cas CAS_OPEN EIO 1", cas(2, 0, "open : 0"), "cas 2/0 rx -1 tx 0; ok"},
        {"fail e1-cas CAS_CLOSE EIO 1", cas(1, 0, "close : NULL"), "cas 1/0 rx -1 tx 0; ok"},
        {"", cas(1, 0, "close : NULL"), "cas 1/0 rx 1 tx 0; ok"},
        {"", cas(1, 0, "get : NULL"), "ok"},
        {"", "ioctl : echoSuppressor : TRUE", "ok"},
    };
    for (Step const& s : steps) {
        SCOPED_TRACE(s.command);
        EXPECT_EQ(board(s.board), "");
        EXPECT_EQ(ask(s.command), s.answer);
    }
    // Each trunk was opened once; path 4 reached no driver.
    EXPECT_EQ(log("e1-cas CAS_OPEN"),
              "e1-cas CAS_OPEN 0\ne1-cas CAS_OPEN 1\ne1-cas CAS_OPEN 2 -> EIO\n");
    EXPECT_TRUE(server.errHas("E1: open cas signalling on trunk(2) - fail(-1)\n"));
    EXPECT_EQ(board("cas 0 5 10"), "0/5 rx 0xa, reported to 1 open(s)\n");
    EXPECT_EQ(receive(controller, 1), "cas 0/5 rx 10 tx 5");
    EXPECT_EQ(board("cas 0 7 2"), "0/7 rx 0x2, not taken\n");
    EXPECT_EQ(ask(cas(0, 5, "get : NULL")), "cas 0/5 rx 10 tx 5; ok");
    // An ioctl for a slot is the slot service's: no such slot, no CAS request.
    std::string const requests = log("e1-cas");
    EXPECT_EQ(ask(cas(0, 5, "get : NULL"), 7), "error slotNotExists slot 7");
    EXPECT_EQ(log("e1-cas"), requests);
}

TEST_F(BoardE2E, SpiFramersAreInitialisedInOrderAtStartAndDisabledAtExit) {
    start();
    std::string writes;
    for (int ch = 0; ch < 8; ++ch)
        for (char const* w :
             {" 50 128", " 48 8", " 87 48", " 52 96", " 53 0", " 54 0", " 55 0", " 50 0"})
            writes += "hal HAL_SPI_WRITE " + std::to_string(ch) + w + "\n";
    EXPECT_EQ(log("hal HAL_SPI_WRITE"), writes);
    server.signal(SIGTERM);
    EXPECT_EQ(server.wait(), 0);
    std::string lines;
    for (int ch = 0; ch < 8; ++ch) lines += "spi: disable channel " + std::to_string(ch) + "\n";
    EXPECT_NE(server.err().find(lines + "spi: clock master disabled\n"), std::string::npos);
}

TEST_F(BoardE2E, ConnectionsSelectTheFreeRunningClockAndClockCfgTheSourceItNames) {
    start();
    struct Step {
        std::string command;
        char const* selected;  // the request's words, "" for none
        char const* line;      // the service's last line
    } const steps[] = {
        {clockCfg("internal", "enabled", 2), "4", "clock source = freerun"},
        {clockCfg("external", "disabled", 2), "5", "clock source = X3"},
        {clockCfg("external", "enabled", 2), "2", "clock source = f2"},
        // Beyond the names: the number, never a name read past the table.
        {clockCfg("external", "enabled", 9), "9", "clock source = 9"},
        {clockCfg("external", "enabled", -3), "", "  source -3\n}"},
        {clockCfg("external", "enabled", 99), "99 -> EINVAL", "HW_CLOCK_SELECT fail."},
    };
    std::string selects = "hal HW_CLOCK_SELECT 4\n";
    for (Step const& s : steps) {
        SCOPED_TRACE(s.line);
        EXPECT_EQ(ask(s.command), "ok");
        if (*s.selected) selects += "hal HW_CLOCK_SELECT " + std::string(s.selected) + "\n";
        EXPECT_EQ(log("hal HW_CLOCK_SELECT"), selects);
        std::string const err = server.err(), line = s.line + std::string("\n");
        EXPECT_EQ(err.substr(err.size() - std::min(err.size(), line.size())), line);
    }
    controller.close();
    selects += "hal HW_CLOCK_SELECT 4\n";
    EXPECT_TRUE(waitFor([&] { return log("hal HW_CLOCK_SELECT") == selects; }, 5s));
}

TEST_F(BoardE2E, DisabledClockControlAnswersUnsupportedAndNeverTouchesTheClock) {
    start("", {"--disable-clock"});
    EXPECT_EQ(ask(clockCfg("internal", "disabled", 0)), "error unsupported");
    controller.close();
    ASSERT_TRUE(server.errHas(" closed.\n"));
    EXPECT_TRUE(server.errHas("clock control disabled.\n"));
    EXPECT_EQ(board("clock"), "clock source none\n");
}

TEST_F(BoardE2E, BusTestsPassWithTheSeedOfTheWriteAndNameTheFirstTimeslotThatDiffers) {
    start();
    // Bus 3, timeslots 10 to 13: outputs 8586 to 8589.
    std::vector<unsigned> const sent = pattern(77, 4), other = pattern(78, 4);
    EXPECT_EQ(ask(bpc(3, 77, "write", 10, 4)), "ok");
    EXPECT_EQ(board("mux 8589"), "8589 = 0x" + hex(sent[3], "%02x") + "\n");
    EXPECT_EQ(ask(bpc(3, 77, "read", 10, 4)), "ok");
    size_t first = 0;
    while (first < 3 && other[first] == sent[first]) ++first;
    EXPECT_EQ(ask(bpc(3, 78, "read", 10, 4)), "error busError");
    EXPECT_TRUE(server.errHas("bus 3: test failed on channel " + std::to_string(10 + first) +
                              " expected " + hex(other[first]) + "  read " + hex(sent[first]) +
                              " \n"));
    // A bit stuck at 1 on timeslot 12 fails the write test there.
    ASSERT_NE(sent[2], 0xFFu);
    EXPECT_EQ(board("mux stuck 8588 0xFF"), "");
    EXPECT_EQ(ask(bpc(3, 77, "write", 10, 4)), "error busError");
    EXPECT_TRUE(server.errHas("bus 3: write failed on channel 12 write " + hex(sent[2]) +
                              "  written FF \n"));
    EXPECT_EQ(ask(bpc(3, 5, "disconnect", 10, 4)), "ok");
    EXPECT_EQ(board("mux 8586"), "8586 off\n");

    // Bus 15 from timeslot 120 for 20: outputs 10232 to 10251, of which the
    // switch has the first eight; the rest are refused and read as 0xFF.
    std::vector<unsigned> const far = pattern(5, 20);
    ASSERT_NE(far[8], 0xFFu);
    EXPECT_EQ(ask(bpc(15, 5, "write", 120, 20)), "error busError");
    EXPECT_TRUE(server.errHas("bus 15: write failed on channel 0 write " + hex(far[8]) +
                              "  written FF \n"));
    EXPECT_EQ(board("mux 10239"), "10239 = 0x" + hex(far[7], "%02x") + "\n");
}
