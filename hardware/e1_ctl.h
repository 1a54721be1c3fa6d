#pragma once
// The control service of the four E1 trunks (0 to 3).
//
// Status: each trunk's framer state and counters, read from
// /dev/maintenance, go to the controller as `trunkStatus` signals of type
// `e1` when it connects and then once a period (a second); the timer runs
// from the first connection until exit (signals sent with no controller are
// dropped). A trunk whose status cannot be read is left out of that round.
//
// TCLK: `trunkCfg` sets (slave) or clears (master) the trunk's bit of the
// mask of clock-slave trunks, 0 to 31, and pushes the mask; each connection
// starts again from an empty mask.
//
// CAS: an `ioctl` without slot number carrying `cas` opens, sets, reads or
// closes channel-associated signalling on a trunk or a timeslot of
// /dev/e1-cas, and reports the outcome as `cas` signals before the answer;
// every record the driver delivers goes to the controller as a `cas` signal.
// A hang-up or error of the CAS descriptor closes it; it is opened again at
// the next CAS command or status round.
//
// Both devices are opened on first need and retried on each use. Every
// command taken is answered success. Messages start with "E1: ".

#include <cstdint>

#include "messages/lgcp/lgcp.h"
#include "runtime/loop/event.h"
#include "runtime/loop/timer.h"
#include "runtime/system/fd.h"
#include "server/ctrl_server.h"

class E1Ctl : public CtrlSrv::Service {
public:
    static constexpr int trunks = 4;
    static constexpr unsigned status_period_ms = 1000;

    static E1Ctl& instance();

    // Opens nothing yet. A shorter period is for tests.
    explicit E1Ctl(unsigned period_ms = status_period_ms);

    void OnConnect() override;
    void OnDisconnect() override {}
    bool OnCommand(LGCP::Command const& command) override;

    // One status round: a `trunkStatus` for each trunk that reads.
    void SendStatus();
    // The status timer: a round, the CAS open step, and the next round armed.
    void OnCheckStatus();
    // Opens /dev/e1-cas and watches it when it is not open; whether it is.
    bool CheckOpenCas();
    // The CAS descriptor's poll events: a record read, or the descriptor
    // closed on a hang-up or error.
    void OnUpdateCas(int fd, short revents);

    // Serves a CAS command as an ioctl's `cas` (the CAS signalling slots
    // drive their timeslots through it); nothing while /dev/e1-cas is closed.
    void Cas(LGCP::CasCommand const& command);

    uint32_t tclk_mask() const { return tclk_mask_; }
    bool cas_open(int trunk) const { return cas_trunk_[trunk] != 0; }
    bool cas_interface_open() const { return cas_.is_valid(); }

private:
    bool OpenMaintenance();
    void ConfigureTrunk(LGCP::TrunkCfg const& config);
    void PushTclk();
    void CloseCasInterface(char const* why);

    void CasOpen(int path, int timeslot, int value);
    void CasClose(int path, int timeslot);
    void CasGet(int path, int timeslot);
    // CAS_GET on a channel, answered by its signal.
    void CasReport(int path, int timeslot);
    void SendCas(int path, int timeslot, int rx, int tx);

    Fd maintenance_;
    Timer status_timer_;
    Fd cas_;
    Event cas_event_;
    uint32_t cas_trunk_[trunks] = {};
    uint32_t tclk_mask_ = 0;
    unsigned period_ms_;
};
