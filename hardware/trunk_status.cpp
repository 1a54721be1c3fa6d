#include "hardware/trunk_status.h"

LGCP::Signal TrunkStatusSignal(TrunkReport const& report, ACP::TrunkType::NamedNumber type) {
    LGCP::Signal signal;
    ACP::TrunkStatus& status = signal.select_trunkStatus();
    status.set_trunk(report.trunk);
    status.set_state().setFromInt(report.state);
    status.set_slips(report.slips);
    status.set_lossBF(report.lossBF);
    status.set_lossCarrier(report.lossCarrier);
    status.set_lossAIS(report.lossAIS);
    status.set_lossRAI(report.lossRAI);
    status.set_name(std::string());
    status.set_clockMaster(false);
    status.set_type(type);
    return signal;
}
