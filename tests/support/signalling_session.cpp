#include "tests/support/signalling_session.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "tools/ctl/message_text.h"

namespace support {

char const fast_links[] =
    "[signalling]\nss7.t1 = 1000\nss7.t2 = 1000\nss7.t3 = 500\nss7.t4n = 600\nss7.t4e = 30\n"
    "ss7.t6 = 300\nss7.t7 = 300\nss7.fill = 10\nisdn.t200 = 60\nisdn.t203 = 2000\n"
    "report = 250\n";

SignallingSession::SignallingSession(std::string const& board, std::string const& config) {
    std::string dir = server.root();
    for (char const* part : {"/usr", "/local", "/etc"}) ::mkdir((dir += part).c_str(), 0755);
    std::ofstream(dir + "/server.conf") << config;
    if (!board.empty()) describeBoard(server.root(), board);
    EXPECT_TRUE(server.start());
    EXPECT_TRUE(controller.connect(server.port()));
    EXPECT_EQ(nextMessage(controller), "{ pdu signal : power : both }");
}

std::string SignallingSession::nextSuch(std::function<bool(std::string const&)> const& wanted,
                                        std::chrono::milliseconds bound) {
    auto const end = std::chrono::steady_clock::now() + bound;
    for (;;) {
        auto const left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) return "";
        std::string const message = nextMessage(controller, left);
        if (message.empty() || wanted(message)) return message;
    }
}

std::string SignallingSession::next(std::chrono::milliseconds bound) {
    return nextSuch([](std::string const& m) { return !isLinkReport(m); }, bound);
}

::testing::AssertionResult SignallingSession::hasReport(char const* kind, int slot,
                                                     std::string const& pattern) {
    std::string const head =
        "{ slot " + std::to_string(slot) + ", pdu signal : ioctl : " + kind + " :";
    std::string last;
    nextSuch([&](std::string const& m) {
        return m.compare(0, head.size(), head) == 0 && matches(last = m, pattern);
    }, std::chrono::seconds(3));
    if (matches(last, pattern)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "last report: " << last;
}

void SignallingSession::send(std::string const& message) {
    Ctl::Encoded const encoded = Ctl::encodeMessage(message);
    EXPECT_EQ(encoded.error, "") << message;
    controller.send(frame(encoded.payload));
}

std::string SignallingSession::nextOfBoth() {
    std::string a = next(), b = next();
    if (b < a) std::swap(a, b);
    return a + "\n" + b;
}

std::chrono::steady_clock::time_point SignallingSession::upBackToBack(std::string const& script) {
    run(script);
    auto const joined = std::chrono::steady_clock::now();
    EXPECT_EQ(board("mcc join 1024 1025"), "");
    EXPECT_EQ(nextOfBoth(), "{ slot 1, pdu signal : activated : NULL }\n"
                            "{ slot 2, pdu signal : activated : NULL }");
    return joined;
}

std::string command(int seq, int slot, std::string const& what, std::string const& answer) {
    std::string const head = "{ seq " + std::to_string(seq) + ", slot " + std::to_string(slot);
    return "> " + head + ", pdu command : " + what + " }\n< " + head + ", pdu response : " +
           answer + " }\n";
}

std::string activate(int seq, int slot) {
    return command(seq, slot, "activate : empty : NULL");
}

std::string SignallingSession::lineSocket(int channel) const {
    std::string path = board("mcc line " + std::to_string(channel));
    if (!path.empty() && path.back() == '\n') path.pop_back();
    return path;
}

}  // namespace support
