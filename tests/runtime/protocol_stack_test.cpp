#include "runtime/protocol/protocols_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/pool_check.h"

namespace {

using Status = Smart_pointer<Internal_protocol_status>;
using Events = std::vector<std::string>;

// A member that writes down what reaches it; message pushes its tag byte and
// receive pulls one byte, each then passes the packet on as the base does.
class Member : public Protocol {
public:
    Member(char tag, Events& events, unsigned head = 0) : tag_(tag), events_(events), head_(head) {}
    ~Member() override {
        events_.push_back(std::string(1, tag_) + " deleted, owner " +
                          (get_owner() ? "set" : "clear"));
    }

    char tag() const { return tag_; }

    void local_prepare_head(Packet& p) override { p.reserve_head(head_); }
    void local_activate() override {
        log("local_activate");
        Protocol::local_activate();
    }
    void local_deactivate() override {
        log("local_deactivate");
        Protocol::local_deactivate();
    }
    void on_deactivate(Status status) override {
        log("on_deactivate " + status->message());
        Protocol::on_deactivate(status);
    }
    void message(Packet& p) override {
        log("message");
        p.push8(static_cast<unsigned char>(tag_));
        transmit(p);
    }
    void receive(Packet& p) override {
        log("receive");
        p.pull8();
        on_message(p);
    }

private:
    void log(std::string const& what) { events_.push_back(std::string(1, tag_) + " " + what); }

    char tag_;
    Events& events_;
    unsigned head_;
};

// A family that writes down its own hooks and keeps the family behaviour.
class Family : public ProtocolsFamily {
public:
    Family(std::string name, Events& events) : name_(std::move(name)), events_(events) {}

    void on_activated(Protocol* member) override {
        log("on_activated " + tag_of(member));
        ProtocolsFamily::on_activated(member);
    }
    void on_deactivated(Protocol* member, Status status) override {
        last_status = status.get();
        log("on_deactivated " + tag_of(member) + " " + status->message());
        ProtocolsFamily::on_deactivated(member, status);
    }
    void on_activate() override {
        log("on_activate");
        ProtocolsFamily::on_activate();
    }
    void on_deactivate(Status status) override {
        log("on_deactivate " + status->message());
        ProtocolsFamily::on_deactivate(status);
    }
    void transmit(Packet& p) override {
        log("transmit " + p.text());
        ProtocolsFamily::transmit(p);
    }
    void on_message(Packet& p) override {
        log("on_message " + p.text());
        ProtocolsFamily::on_message(p);
    }

    Internal_protocol_status const* last_status = nullptr;

private:
    std::string tag_of(Protocol* member) const {
        auto* m = dynamic_cast<Member*>(member);
        return m ? std::string(1, m->tag()) : "?";
    }
    void log(std::string const& what) { events_.push_back(name_ + " " + what); }

    std::string name_;
    Events& events_;
};

class ProtocolStack : public PoolCheck {
protected:
    Events events;
};

TEST_F(ProtocolStack, PacketsEnterAtTheTopGoingDownAndAtTheBottomGoingUp) {
    Family f("F", events);
    f.add_protocol_tail(new Member('A', events, 1));
    f.add_protocol_tail(new Member('B', events, 1));
    Packet p;
    f.prepare_head(p);
    EXPECT_EQ(p._headroom(), 2u);
    p.put8(0x00);
    f.message(p);
    EXPECT_EQ(events, (Events{"B message", "A message", "F transmit 41 42 00"}));

    events.clear();
    f.receive(p);
    EXPECT_EQ(events, (Events{"A receive", "B receive", "F on_message 00"}));
}

TEST_F(ProtocolStack, ActivationClimbsAndOnlyTheTopMemberMakesTheFamilyActive) {
    Family f("F", events);
    Protocol* a = f.add_protocol_tail(new Member('A', events));
    f.add_protocol_tail(new Member('B', events));
    events.clear();
    f.activate();
    EXPECT_EQ(events, (Events{"A local_activate", "B local_activate", "F on_activated B",
                              "F on_activate"}));
    events.clear();
    f.on_activated(a);
    EXPECT_EQ(events, (Events{"F on_activated A"}));
}

TEST_F(ProtocolStack, DeactivationDescendsAndTheFamilyHearsFromTheBottom) {
    Family f("F", events);
    f.add_protocol_tail(new Member('A', events));
    f.add_protocol_tail(new Member('B', events));
    f.deactivate();
    EXPECT_EQ(events, (Events{"B local_deactivate", "B on_deactivate success", "A local_deactivate",
                              "A on_deactivate success", "F on_deactivated A success",
                              "F on_deactivate success"}));
}

TEST_F(ProtocolStack, AMemberFailureReachesTheFamilyThroughTheTopMember) {
    Family f("F", events);
    Protocol* a = f.add_protocol_tail(new Member('A', events));
    f.add_protocol_tail(new Member('B', events));
    Status error = new Protocol_status_error(a, "fd not attached");
    a->on_deactivate(error);
    EXPECT_EQ(events,
              (Events{"A on_deactivate fd not attached", "B on_deactivate fd not attached",
                      "F on_deactivated B fd not attached", "F on_deactivate fd not attached"}));
    EXPECT_EQ(f.last_status, error.get());
}

TEST_F(ProtocolStack, AnEmptyFamilyFailsInitialisationAndDropsEverything) {
    Family f("F", events);
    Status status = f.initialize();
    EXPECT_FALSE(status->success());
    EXPECT_EQ(status->message(), "error");
    EXPECT_EQ(status->source, &f);

    f.activate();
    f.deactivate();
    Packet p;
    f.prepare_head(p);
    EXPECT_TRUE(p.null());
    p.reserve_head(0);
    p.put8(1);
    f.message(p);
    f.receive(p);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(f.top(), nullptr);
}

TEST_F(ProtocolStack, LayersAddedAtTheHeadGoBelowAndAtTheTailAbove) {
    Family f("F", events);
    Protocol* middle = f.add_protocol_tail(new Member('M', events));
    Protocol* low = f.add_protocol_head(new Member('L', events));
    Protocol* high = f.add_protocol_tail(new Member('H', events));
    EXPECT_EQ(f.bottom(), low);
    EXPECT_EQ(f.top(), high);
    EXPECT_EQ(middle->below(), low);
    EXPECT_EQ(middle->above(), high);
    for (Protocol* m : f) EXPECT_EQ(m->get_owner(), &f);
    EXPECT_EQ(f.count(), 3u);
    EXPECT_EQ(f.add_protocol_tail(nullptr), nullptr);
    EXPECT_EQ(f.add_protocol_tail(&f), nullptr);
    EXPECT_EQ(f.count(), 3u);
}

TEST_F(ProtocolStack, ALayerAddedToASecondStackLeavesTheFirst) {
    Family first("F1", events), second("F2", events);
    Protocol* a = first.add_protocol_tail(new Member('A', events));
    first.add_protocol_tail(new Member('B', events));
    second.add_protocol_tail(a);
    EXPECT_EQ(first.count(), 1u);
    EXPECT_EQ(second.count(), 1u);
    EXPECT_EQ(a->get_owner(), &second);
    EXPECT_EQ(first.bottom()->below(), nullptr);
}

TEST_F(ProtocolStack, DestroyingAFamilyDeletesItsMembersFromTheTop) {
    {
        Family f("F", events);
        f.add_protocol_tail(new Member('A', events));
        f.add_protocol_tail(new Member('B', events));
        f.add_protocol_tail(new Member('C', events));
        events.clear();
    }
    EXPECT_EQ(events, (Events{"C deleted, owner clear", "B deleted, owner clear",
                              "A deleted, owner clear"}));
}

// An outer stack: a bottom layer 'D', a family of 'A' and 'B' in the middle,
// a top layer 'T'.
class NestedStack : public ProtocolStack {
protected:
    void SetUp() override {
        outer.add_protocol_tail(new Member('D', events, 1));
        inner = static_cast<Family*>(outer.add_protocol_tail(new Family("inner", events)));
        inner->add_protocol_tail(new Member('A', events, 2));
        inner->add_protocol_tail(new Member('B', events, 3));
        outer.add_protocol_tail(new Member('T', events, 4));
        events.clear();
    }

    Family outer{"outer", events};
    Family* inner = nullptr;
};

TEST_F(NestedStack, ANestedFamilyPassesPacketsBetweenItsNeighbours) {
    Packet p;
    outer.prepare_head(p);
    EXPECT_EQ(p._headroom(), 10u);
    p.put16_b(0xCAFE);
    outer.message(p);
    EXPECT_EQ(events,
              (Events{"T message", "B message", "A message", "inner transmit 41 42 54 CA FE",
                      "D message", "outer transmit 44 41 42 54 CA FE"}));

    events.clear();
    outer.receive(p);
    EXPECT_EQ(events, (Events{"D receive", "A receive", "B receive", "inner on_message 54 CA FE",
                              "T receive", "outer on_message CA FE"}));
}

TEST_F(NestedStack, ANestedFamilyActivatesAndDeactivatesAsOneLayer) {
    outer.activate();
    EXPECT_EQ(events, (Events{"D local_activate", "A local_activate", "B local_activate",
                              "inner on_activated B", "inner on_activate", "T local_activate",
                              "outer on_activated T", "outer on_activate"}));

    events.clear();
    outer.deactivate();
    EXPECT_EQ(events,
              (Events{"T local_deactivate", "T on_deactivate success", "B local_deactivate",
                      "B on_deactivate success", "A local_deactivate", "A on_deactivate success",
                      "inner on_deactivated A success", "inner on_deactivate success",
                      "D local_deactivate", "D on_deactivate success",
                      "outer on_deactivated D success", "outer on_deactivate success"}));
}

TEST_F(NestedStack, AFailureInsideTheNestedFamilyClimbsThroughTheOuterStack) {
    Protocol* a = inner->bottom();
    Status error = new Protocol_status_error(a, "link lost");
    a->on_deactivate(error);
    EXPECT_EQ(events, (Events{"A on_deactivate link lost", "B on_deactivate link lost",
                              "inner on_deactivated B link lost", "inner on_deactivate link lost",
                              "T on_deactivate link lost", "outer on_deactivated T link lost",
                              "outer on_deactivate link lost"}));
    EXPECT_EQ(outer.last_status, error.get());
}

}  // namespace
