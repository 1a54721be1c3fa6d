// One agent link in-process, with delays short enough for a unit test: the
// pings it sends, the frames that keep it up, and the silence that drops it.

#include "monitoring/snmp_agent_instance.h"

#include <gtest/gtest.h>

#include "tests/support/capture.h"
#include "tests/support/loop.h"
#include "tests/support/test_agent.h"

using namespace std::chrono_literals;
using support::runUntil;

namespace {

struct Notify : ISnmpAgentNotify {
    void OnSnmpAgentConnect(std::string const& name) override { connected += name; }
    std::string connected;
};

}  // namespace

TEST(SnmpAgentInstance, PingsStaysUpWhileTheAgentAnswersAndDropsTheLinkWhenItFallsSilent) {
    support::TestAgent agent;
    ASSERT_TRUE(agent.listen());
    support::StreamCapture errors(std::cerr);
    Notify notify;
    SnmpAgentInstance instance("fast", "127.0.0.1", uint16_t(agent.port()), &notify, 100, 300);
    ASSERT_TRUE(runUntil([&] { return agent.link.fd() >= 0 || agent.accept(1ms); }, 2000));
    ASSERT_TRUE(runUntil([&] { return instance.IsConnected(); }, 2000));
    EXPECT_EQ(notify.connected, "fast");

    // For a second the agent answers every ping, the first one 100 ms after
    // the link came up: it stays up.
    MON::Message answer;
    answer.set_pdu().select_response().select_ping().select_success();
    int pings = 0;
    auto answered = support::Clock::now();
    runUntil(
        [&] {
            for (MON::Message m; agent.read(m, 5ms); answered = support::Clock::now()) {
                pings += m.get_pdu().get_command().ping_isSelected();
                agent.send(answer);
            }
            return false;
        },
        1000);
    EXPECT_TRUE(instance.IsConnected());
    EXPECT_GE(pings, 7);
    EXPECT_LE(pings, 10);

    ASSERT_TRUE(runUntil([&] { return !instance.IsConnected(); }, 2000));
    long const silence = support::millisBetween(answered, support::Clock::now());
    EXPECT_GE(silence, 295);
    EXPECT_LE(silence, 420);
    EXPECT_EQ(errors.text(), instance.prefix() +
                                 ": ping timeout !!!\ncontrol connection 127.0.0.1:" +
                                 std::to_string(agent.port()) + " closed.\n");
}
