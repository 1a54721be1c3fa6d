#include "signalling/trunk_followers.h"

#include <algorithm>

void TrunkFollowers::remove(TrunkFollower* follower) {
    followers_.erase(std::remove(followers_.begin(), followers_.end(), follower), followers_.end());
}

void TrunkFollowers::Forward(LGCP::Signal const& signal) const {
    if (!signal.trunkStatus_isSelected()) return;
    ACP::TrunkStatus const& status = signal.get_trunkStatus();
    unsigned int const trunk = unsigned(status.get_trunk().getValue());
    ACP::TrunkState::NamedNumber const state = status.get_state();
    // A copy: a follower that leaves must not disturb the walk.
    std::vector<TrunkFollower*> const followers = followers_;
    for (TrunkFollower* follower : followers) follower->OnTrunkStatus(trunk, state);
}
