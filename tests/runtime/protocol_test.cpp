#include "runtime/protocol/protocol.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "runtime/protocol/protocol_name.h"
#include "runtime/protocol/protocol_status.h"
#include "runtime/protocol/protocols_list.h"
#include "tests/support/pool_check.h"

namespace {

using Status = Smart_pointer<Internal_protocol_status>;
using Events = std::vector<std::string>;

// A layer that writes down what reaches it and otherwise behaves as the base
// layer; message pushes its tag byte, receive pulls one byte.
class Layer : public Protocol {
public:
    Layer(std::string name, Events& events, unsigned head = 0)
        : name_(std::move(name)), events_(events), head_(head) {}
    ~Layer() override { events_.push_back(name_ + " deleted"); }

    void local_prepare_head(Packet& p) override { p.reserve_head(head_); }
    Status local_initialize() override {
        events_.push_back(name_ + " local_initialize");
        if (fail_initialize) return new Protocol_status_error(this, name_ + " cannot start");
        return Protocol::local_initialize();
    }
    void local_activate() override {
        events_.push_back(name_ + " local_activate");
        Protocol::local_activate();
    }
    void local_deactivate() override {
        events_.push_back(name_ + " local_deactivate");
        Protocol::local_deactivate();
    }
    void on_deactivate(Status status) override {
        events_.push_back(name_ + " on_deactivate " + status->message());
        Protocol::on_deactivate(status);
    }
    void on_status(Status status) override {
        events_.push_back(name_ + " on_status " + status->message());
        Protocol::on_status(status);
    }
    void message(Packet& p) override {
        events_.push_back(name_ + " message");
        p.push8(static_cast<unsigned char>(name_.back()));
        transmit(p);
    }
    void receive(Packet& p) override {
        events_.push_back(name_ + " receive");
        p.pull8();
        on_message(p);
    }

    bool fail_initialize = false;

private:
    std::string name_;
    Events& events_;
    unsigned head_;
};

// Records what the members of a plain list report to it.
class Owner : public ProtocolsList {
public:
    explicit Owner(Events& events) : events_(events) {}
    void on_activated(Protocol* member) override {
        events_.push_back("owner on_activated " + who(member));
    }
    void on_deactivated(Protocol* member, Status status) override {
        last_status = status.get();
        last_source = status->source;
        events_.push_back("owner on_deactivated " + who(member) + " " + status->message());
    }
    void on_status(Status status) override {
        last_status = status.get();
        events_.push_back("owner on_status " + status->message());
    }
    void transmit(Packet& p) override { events_.push_back("owner transmit " + p.text()); }
    void on_message(Packet& p) override { events_.push_back("owner on_message " + p.text()); }

    std::string who(Protocol* member) const {
        int i = 1;
        for (Protocol* m : *this) {
            if (m == member) return "L" + std::to_string(i);
            ++i;
        }
        return "?";
    }

    // Only for comparing with a status the test itself holds.
    Internal_protocol_status const* last_status = nullptr;
    Protocol_info const* last_source = nullptr;

private:
    Events& events_;
};

class ProtocolLayer : public PoolCheck {
protected:
    // Three layers L1 (bottom), L2, L3 in an owner's list.
    void build(unsigned head1 = 0, unsigned head2 = 0, unsigned head3 = 0) {
        l1 = static_cast<Layer*>(owner.add_protocol_tail(new Layer("L1", events, head1)));
        l2 = static_cast<Layer*>(owner.add_protocol_tail(new Layer("L2", events, head2)));
        l3 = static_cast<Layer*>(owner.add_protocol_tail(new Layer("L3", events, head3)));
        events.clear();
    }

    Events events;
    Owner owner{events};
    Layer* l1 = nullptr;
    Layer* l2 = nullptr;
    Layer* l3 = nullptr;
};

TEST_F(ProtocolLayer, ALoneLayerDropsPacketsAndActivatesItself) {
    Layer lone("A", events);
    Packet p;
    p.reserve_head(1);
    p.put8(7);
    lone.transmit(p);
    lone.on_message(p);
    lone.Protocol::message(p);
    lone.Protocol::receive(p);
    lone.on_status(new Protocol_status_success(&lone, "fine"));
    lone.activate();
    EXPECT_EQ(events, (Events{"A on_status fine", "A local_activate"}));
    EXPECT_EQ(p.text(), "07");
    EXPECT_EQ(lone.get_owner(), nullptr);
}

TEST_F(ProtocolLayer, ActivatingTheTopActivatesFromTheBottomUp) {
    build();
    l3->activate();
    EXPECT_EQ(events, (Events{"L1 local_activate", "L2 local_activate", "L3 local_activate",
                              "owner on_activated L3"}));
}

TEST_F(ProtocolLayer, ARequestedDeactivationDescendsAndTheBottomReports) {
    build();
    l3->deactivate();
    EXPECT_EQ(events,
              (Events{"L3 local_deactivate", "L3 on_deactivate success", "L2 local_deactivate",
                      "L2 on_deactivate success", "L1 local_deactivate", "L1 on_deactivate success",
                      "owner on_deactivated L1 success"}));
    EXPECT_EQ(owner.last_source, l1);
}

TEST_F(ProtocolLayer, AFailureClimbsUnchangedToTheOwner) {
    build();
    Status error = new Protocol_status_error(l1, "link lost");
    l1->on_deactivate(error);
    EXPECT_EQ(events, (Events{"L1 on_deactivate link lost", "L2 on_deactivate link lost",
                              "L3 on_deactivate link lost", "owner on_deactivated L3 link lost"}));
    EXPECT_EQ(owner.last_status, error.get());
}

TEST_F(ProtocolLayer, ADeactivationALayerDidByItselfTakesDownOnlyTheLayersBelow) {
    build();
    l2->on_deactivate(new Protocol_status_success(l2, "done"));
    EXPECT_EQ(events, (Events{"L2 on_deactivate done", "L1 local_deactivate",
                              "L1 on_deactivate success", "owner on_deactivated L1 success"}));
}

TEST_F(ProtocolLayer, AStatusClimbsToTheOwnerAsTheSameObject) {
    build();
    Status status = new Protocol_status_success(l1, "trunk up");
    l1->on_status(status);
    EXPECT_EQ(events, (Events{"L1 on_status trunk up", "L2 on_status trunk up",
                              "L3 on_status trunk up", "owner on_status trunk up"}));
    EXPECT_EQ(owner.last_status, status.get());
}

TEST_F(ProtocolLayer, InitialisationStopsAtTheFirstFailure) {
    build();
    Status ok = l3->initialize();
    EXPECT_TRUE(ok->success());
    EXPECT_EQ(ok->message(), "success");
    EXPECT_EQ(ok->source, l3);

    events.clear();
    l2->fail_initialize = true;
    Status failed = l3->initialize();
    EXPECT_FALSE(failed->success());
    EXPECT_EQ(failed->message(), "L2 cannot start");
    EXPECT_EQ(events, (Events{"L1 local_initialize", "L2 local_initialize"}));
}

TEST_F(ProtocolLayer, DataGoesDownAndUpThroughEveryLayer) {
    build(3, 4, 0);
    Packet p;
    l3->prepare_head(p);
    EXPECT_EQ(p._headroom(), 7u);
    EXPECT_EQ(p.length(), 0u);
    p.put8(0xEE);
    l3->message(p);
    EXPECT_EQ(events.back(), "owner transmit 31 32 33 EE");

    events.clear();
    l1->receive(p);
    EXPECT_EQ(events, (Events{"L1 receive", "L2 receive", "L3 receive", "owner on_message EE"}));
}

TEST_F(ProtocolLayer, DestroyingALayerTakesItOutOfItsList) {
    build();
    delete l2;
    EXPECT_EQ(owner.count(), 2u);
    EXPECT_EQ(l1->above(), l3);
    EXPECT_EQ(l3->below(), l1);
    events.clear();
    l3->activate();
    EXPECT_EQ(events, (Events{"L1 local_activate", "L3 local_activate", "owner on_activated L2"}));
}

TEST(ProtocolName, NullAndStringNamesCompareOnlyWithinTheirKind) {
    Protocol_name_null null1, null2;
    Protocol_name_str unnamed(nullptr), also_unnamed("(no name)"), tpkt("TPKT"), tpkt2("TPKT");
    EXPECT_EQ(std::string(unnamed.name()), "(no name)");
    EXPECT_EQ(unnamed.kind(), 1);
    EXPECT_EQ(null1.kind(), 0);
    EXPECT_TRUE(unnamed.compare(also_unnamed));
    EXPECT_FALSE(unnamed.compare(null1));
    EXPECT_FALSE(null1.compare(unnamed));
    EXPECT_TRUE(null1.compare(null2));
    EXPECT_TRUE(tpkt.compare(tpkt2));
    EXPECT_FALSE(tpkt.compare(also_unnamed));
    EXPECT_TRUE(tpkt.compatible(unnamed));

    std::ostringstream os;
    os << null1 << '|' << unnamed << '|' << tpkt;
    EXPECT_EQ(os.str(), "(no name)|(no name)|TPKT");
}

class Named : public Protocol {
public:
    Protocol_name const& name() const override { return name_; }
    bool compare_name(Protocol_name const& other) const override { return name_.compare(other); }

private:
    Protocol_name_str name_{"StrmProtocol"};
};

TEST(ProtocolName, ALayerPrintsItsNameAndSearchFindsItByName) {
    Events events;
    Owner owner(events);
    owner.add_protocol_tail(new Layer("L1", events));
    Protocol* named = owner.add_protocol_tail(new Named);
    std::ostringstream os;
    os << *named << '|' << *owner.bottom();
    EXPECT_EQ(os.str(), "StrmProtocol|(no name)");
    EXPECT_EQ(owner.search(Protocol_name_str("StrmProtocol")), named);
    EXPECT_EQ(owner.search(Protocol_name_str("TPKT")), nullptr);
    EXPECT_EQ(owner.search(Protocol_name_null()), nullptr);
}

// Counts its deletions, to show that a shared status dies exactly once.
class CountedStatus : public Protocol_status_error {
public:
    CountedStatus(int& deleted) : Protocol_status_error(nullptr, "counted"), deleted_(deleted) {}
    ~CountedStatus() override { ++deleted_; }

private:
    int& deleted_;
};

TEST(ProtocolStatus, ASharedStatusIsDeletedOnceAfterItsLastHolder) {
    int deleted = 0;
    Events events;
    Owner owner(events);
    Layer* bottom = static_cast<Layer*>(owner.add_protocol_tail(new Layer("L1", events)));
    owner.add_protocol_tail(new Layer("L2", events));
    {
        Status status = new CountedStatus(deleted);
        EXPECT_EQ(status->ref_count, 1u);
        bottom->on_deactivate(status);
        bottom->on_status(status);
        EXPECT_EQ(deleted, 0);
        EXPECT_EQ(status->ref_count, 1u);  // the calls copied nothing
        EXPECT_EQ(owner.last_status, status.get());
    }
    EXPECT_EQ(deleted, 1);
}

}  // namespace
