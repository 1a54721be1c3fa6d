// The built mobrel-ctl run against the built server program on 127.0.0.1.

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/board_tool.h"
#include "tests/support/harness.h"

namespace {

using namespace support;

struct CtlRun {
    int status = -1;  // exit status, or -1 when the tool did not end in time
    std::string out;  // with every time stamp written as "[t] "
    std::string err;
};

// Runs the tool with the arguments and `input` on its standard input (or
// with standard input closed), in the server's temporary root, and waits for
// it to end.
CtlRun runCtl(ServerProcess const& server, std::vector<std::string> const& args,
              std::string const& input = "", bool closedInput = false) {
    std::string const dir = server.root();
    { std::ofstream(dir + "/ctl-in") << input; }
    Launch launch;
    launch.program = MOBREL_CTL_BINARY;
    launch.args = args;
    launch.input = dir + "/ctl-in";
    launch.closed_input = closedInput;
    launch.output = dir + "/ctl-out";
    launch.errors = dir + "/ctl-err";
    pid_t const pid = start(launch);
    CtlRun run;
    run.status = waitExit(pid, std::chrono::seconds(30));
    if (run.status < 0) {
        if (signalProcess(pid, SIGKILL)) ::waitpid(pid, nullptr, 0);
    }
    static std::regex const stamp(R"(\[ *[0-9]+\.[0-9]{3}\] )");
    run.out = std::regex_replace(readFile(dir + "/ctl-out"), stamp, "[t] ");
    run.err = readFile(dir + "/ctl-err");
    return run;
}

class ControllerTool : public ::testing::Test {
protected:
    void SetUp() override {
        // Trunks that report nothing: the power state is the one signal.
        describeBoard(server.root(), "absent maintenance\nspi absent\n");
        ASSERT_TRUE(server.start());
        ASSERT_TRUE(waitFor([&] { return listening(server.port()); }, std::chrono::seconds(10)));
        port = std::to_string(server.port());
    }

    ServerProcess server;
    std::string port;
};

// Continuation lines keep the indentation that aligns them under the stamp.
std::string const power =
    "[t] {\n"
    "            pdu signal : power : both\n"
    "          }\n";

std::string success(int seq) {
    return "[t] {\n"
           "            seq " +
           std::to_string(seq) +
           ",\n"
           "            pdu response : success : NULL\n"
           "          }\n";
}

TEST_F(ControllerTool, APingWithSeqIsAnsweredSuccessWithThatSeqAndPrinted) {
    // The power signal the server sends on connect comes first, unless
    // signals are hidden.
    struct {
        std::vector<std::string> options;
        std::string out;
    } const cases[] = {
        {{"-p", port}, power + success(7)},
        {{"--no-signals", "--port", port}, success(7)},
    };
    for (auto const& c : cases) {
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {"--wait", "0", "{ seq 7, pdu command : ping : NULL }"});
        CtlRun const run = runCtl(server, args);
        EXPECT_EQ(run.status, 0) << c.options[0] << ": " << run.err;
        EXPECT_EQ(run.out, c.out) << c.options[0];
        EXPECT_EQ(run.err, "");
    }
}

TEST_F(ControllerTool, BadTextIsReportedAndTheFollowingMessageIsStillSent) {
    CtlRun const run =
        runCtl(server, {"--port", port, "--wait", "0", "{ seq 1, pdu comand : ping }",
                        "{ seq 2, pdu command : ping : NULL }"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "mobrel-ctl: argument 1: does not read as an LGCP message: reading stopped at "
              "line 1, column 22, after \"{ seq 1, pdu comand :\"\n");
    EXPECT_EQ(run.out, power + success(2));
}

TEST_F(ControllerTool, MessagesFromStandardInputAreSentInOrderWhateverTheirLayout) {
    std::string const input =
        "{ seq 1, pdu command : ping : NULL }\n"
        "\n"
        "{\n"
        "  seq 2,\n"
        "  pdu command : ping : NULL\n"
        "}\n"
        "not a message\n"
        "{ pdu command : ping : NULL }";
    CtlRun const run = runCtl(server, {"--port", port, "--wait", "0"}, input);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "mobrel-ctl: standard input, message at line 7: does not read as an LGCP message: "
              "reading stopped at line 7, column 1, at \"not a message\"\n");
    EXPECT_EQ(run.out, power + success(1) + success(2) +
                           "[t] {\n"
                           "            pdu response : success : NULL\n"
                           "          }\n");
}

TEST_F(ControllerTool, AnswersOtherThanSuccessArePrintedAsTheyCome) {
    // A message that is not a command is answered with an error.
    CtlRun const run =
        runCtl(server, {"--port", port, "--wait", "0", "{ seq 9, pdu signal : power : unknown }"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, power +
                           "[t] {\n"
                           "            seq 9,\n"
                           "            pdu response : error : unexpectedMsgType\n"
                           "          }\n");
}

TEST_F(ControllerTool, WithNothingToSendItStaysForTheWaitAndPrintsSignals) {
    auto const begin = std::chrono::steady_clock::now();
    CtlRun const run = runCtl(server, {"--port", port, "--wait", "1500"});
    auto const took = std::chrono::steady_clock::now() - begin;
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, power);
    EXPECT_GE(took, std::chrono::milliseconds(1500));
}

TEST_F(ControllerTool, AClosedStandardInputIsAnEmptyOneAndNeverStandsForTheSocket) {
    CtlRun const run = runCtl(server, {"--port", port, "--wait", "1000"}, "", true);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, power);
}

TEST_F(ControllerTool, AConnectionTheServerRefusesIsAFailure) {
    // While one controller is connected, the server closes every other one.
    Controller first;
    ASSERT_TRUE(first.connect(server.port()));
    bool ok = false;
    first.readFrame(ok);  // the power signal: the server has taken this connection
    ASSERT_TRUE(ok);
    CtlRun const run = runCtl(server, {"--port", port, "{ seq 1, pdu command : ping : NULL }"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err, "");
}

TEST(ControllerToolAlone, AServerThatCannotBeReachedEndsWithStatusTwo) {
    ServerProcess nobody;  // only its temporary root is used
    RefusingPort const refusing;
    int const port = refusing.port();
    CtlRun const run =
        runCtl(nobody, {"--port", std::to_string(port), "{ pdu command : ping : NULL }"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "mobrel-ctl: cannot connect to 127.0.0.1:" + std::to_string(port) +
                           ": Connection refused\n");
}

TEST(ControllerToolAlone, CommandLineMistakesEndWithStatusTwoAndHelpWithZero) {
    ServerProcess nobody;
    CtlRun const noPort = runCtl(nobody, {"{ pdu command : ping : NULL }"});
    EXPECT_EQ(noPort.status, 2);
    EXPECT_EQ(noPort.err, "mobrel-ctl: --port is required\nTry 'mobrel-ctl --help'.\n");
    CtlRun const badWait = runCtl(nobody, {"--port", "1", "--wait", "soon"});
    EXPECT_EQ(badWait.status, 2);
    EXPECT_EQ(badWait.err,
              "mobrel-ctl: --wait needs a number of milliseconds, not \"soon\"\n"
              "Try 'mobrel-ctl --help'.\n");
    for (std::string const option : {"--verbose", "-x"}) {
        CtlRun const unknown = runCtl(nobody, {option});
        EXPECT_EQ(unknown.status, 2);
        EXPECT_EQ(unknown.err,
                  "mobrel-ctl: unknown option " + option + "\nTry 'mobrel-ctl --help'.\n");
    }
    CtlRun const help = runCtl(nobody, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(
        help.out.rfind(
            "Usage: mobrel-ctl [--host ADDRESS] --port N [--wait MS] [--no-signals] [MESSAGE...]\n",
            0),
        0u);
}

}  // namespace
