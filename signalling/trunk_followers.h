#pragma once
// The slots of a signalling factory that follow the state of their trunk, in
// the order they were made. The factory hands every trunkStatus signal that
// reaches its SelfSignal to each of them, so that a link on a trunk timeslot
// learns that its trunk went down or came back.

#include <vector>

#include "messages/lgcp/lgcp.h"

class TrunkFollower {
public:
    virtual ~TrunkFollower() = default;
    virtual void OnTrunkStatus(unsigned int trunk, ACP::TrunkState::NamedNumber const& state) = 0;
};

class TrunkFollowers {
public:
    void add(TrunkFollower* follower) { followers_.push_back(follower); }
    // Every entry of the follower; nothing when it is not there.
    void remove(TrunkFollower* follower);
    // The trunk and state of a trunkStatus signal to every follower, oldest
    // first; any other signal to none. A follower may leave during the call.
    void Forward(LGCP::Signal const& signal) const;

    size_t size() const { return followers_.size(); }

private:
    std::vector<TrunkFollower*> followers_;
};
