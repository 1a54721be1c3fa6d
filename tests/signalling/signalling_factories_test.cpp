// The signalling factories: trunk states handed to the slots they made, and
// the HDLC factory's trace.

#include "signalling/signalling_factories.h"

#include <gtest/gtest.h>

#include "server/trace_ctl.h"
#include "tests/runtime/loop_support.h"

namespace {

// Writes what it is told as "<name>:<trunk>=<state> ".
struct Follower : TrunkFollower {
    Follower(char name, std::string& out) : name(name), told(out) {}
    void OnTrunkStatus(unsigned int trunk, ACP::TrunkState::NamedNumber const& state) override {
        told += name + (":" + std::to_string(trunk) + "=" + std::to_string(state) + " ");
    }
    char name;
    std::string& told;
};

}  // namespace

TEST(SignallingFactories, PstnAndHdlcHandEachTrunkStatusToTheirSlotsInOrder) {
    std::string told;
    Follower a('a', told), b('b', told), c('c', told);
    PstnFactory::instance().slots().add(&a);
    PstnFactory::instance().slots().add(&b);
    HdlcSlotFactory::instance().slots().add(&c);
    LGCP::Signal trunk, power;
    ACP::TrunkStatus& status = trunk.select_trunkStatus();
    status.set_trunk(2);
    status.set_state(ACP::TrunkState::lossCarrier);
    power.select_power(LGCP::POWERStatus::main);
    IsdnFactory::instance();
    // The chain, newest first, as the slot service walks it.
    for (SlotFactory* factory = firstFactory; factory; factory = factory->next()) {
        factory->SelfSignal(trunk);
        factory->SelfSignal(power);
    }
    EXPECT_EQ(told, "c:2=2 a:2=2 b:2=2 ");
    PstnFactory::instance().slots().remove(&a);
    PstnFactory::instance().SelfSignal(trunk);
    EXPECT_EQ(told, "c:2=2 a:2=2 b:2=2 b:2=2 ");
}

TEST(SignallingFactories, HdlcMarksEachCreateOnTheLogStreamWhileItsTraceIsOn) {
    LGCP::CreateParams params;
    params.select_map();
    loop_test::StreamCapture log(std::clog);
    EXPECT_EQ(HdlcSlotFactory::instance().NewSlot(params), nullptr);
    traces.signalling.hdlc = true;
    EXPECT_EQ(HdlcSlotFactory::instance().NewSlot(params), nullptr);
    traces.signalling.hdlc = false;
    EXPECT_EQ(log.text(), "\nHdlcSlotFactory.INewSlot\n\n");
}
