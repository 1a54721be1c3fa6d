#pragma once
// Clock-source control: selects the board's TDM clock source through the
// clock-select request of /dev/hal. Each connection and disconnection of the
// controller selects the free-running internal clock (source 4); `clockCfg`
// selects the internal clock, source 5 (external, bext disabled) or the
// source it names, and is answered success whatever the driver said. Once
// DisableControl() has run (the option --disable-clock) the device is never
// opened and `clockCfg` is answered `unsupported`.
//
// Its messages go to the error stream after "clkctl: ".

#include "messages/lgcp/lgcp.h"
#include "runtime/system/fd.h"
#include "server/ctrl_server.h"

class BusCtl : public CtrlSrv::Service {
public:
    static constexpr int freerun = 4;
    static constexpr int external_bext_disabled = 5;

    static BusCtl& instance();

    // Switches clock control off for the rest of the run.
    void DisableControl();

    void OnConnect() override { SetDefault(); }
    void OnDisconnect() override { SetDefault(); }
    bool OnCommand(LGCP::Command const& command) override;

    bool enabled() const { return enabled_; }

private:
    // Opens /dev/hal when needed: false when it is not open after that, or
    // control is off.
    bool Open();
    void SetDefault();
    void Set(LGCP::ClockCfg const& config);
    void Select(int source);

    Fd fd_;
    bool enabled_ = true;
};
