#pragma once
// The slot service: the control service that owns every slot and carries
// out the controller's slot commands. It creates slots through the factory
// chain, connects and disconnects them, passes activation, user data and
// driver requests to them, destroys them (a slot may finish its destruction
// later, and the destroy's answer waits for it), reports the resources of
// every factory, and destroys everything when the controller goes.
//
// Bound second, after the heartbeat: it takes the slot commands that carry
// a slot number, and `query` only without one.

#include <cstdint>
#include <vector>

#include "server/ctrl_server.h"
#include "slots/slot.h"

class Slots : public CtrlSrv::Service {
public:
    static constexpr unsigned table_size = 1024;
    // How long a disconnection waits for the slots that finish later.
    static constexpr unsigned release_pause_ms = 1000;

    static Slots& instance();
    ~Slots() override = default;

    void OnConnect() override {}
    // Destroys every slot; those that finish later are deleted after a pause.
    void OnDisconnect() override;
    bool OnCommand(LGCP::Command const& command) override;
    // Hands every trunkStatus signal to every factory.
    void OnSignal(LGCP::Signal const& signal) override;

    // Collects the resources of every factory and sends them as `query`.
    void UpdateHardwareResources();
    // Disconnects the slot from its source and its consumers and starts its
    // destruction; true when it was deleted at once.
    bool Destroy(Slot* slot);
    // A deferred destruction has finished.
    void on_release(Slot* slot);

    Slot* find(unsigned id) const { return id < table_size ? table_[id] : nullptr; }
    // A shorter pause than release_pause_ms; for tests that disconnect often.
    void set_release_pause(unsigned ms) { release_pause_ms_ = ms; }
    std::vector<Slot*> const& created() const { return created_; }

private:
    Slots() = default;
    bool OnBaseCommand(LGCP::Command const& command);
    bool OnSlotCommand(LGCP::Command const& command);
    void CmdCreate(unsigned id, LGCP::CreateParams const& params);
    void CmdDestroy(Slot* slot);
    // Takes the slot off its source and its consumers, the switch included.
    void Detach(Slot* slot);
    // Detaches the slot and deletes it.
    void int_destroy(Slot* slot);

    Slot* table_[table_size] = {};
    std::vector<Slot*> created_;
    unsigned release_pause_ms_ = release_pause_ms;
};
