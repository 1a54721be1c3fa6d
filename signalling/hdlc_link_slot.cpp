#include "signalling/hdlc_link_slot.h"

#include "signalling/signalling_config.h"

void HdlcLinkSlot::StartReports() {
    report_.set(signallingConfig().report, &HdlcLinkSlot::OnReport, this);
}

void HdlcLinkSlot::OnReport() {
    StartReports();
    Report();
}

void HdlcLinkSlot::Report() {
    HDLC::Counters const& c = hdlc_.counters();
    LGCP::IoctlResponse response;
    LGCP::HdlcLinkInfo& info = response.select_hdlcLinkInfo();
    info.set_txSU(Count(c.txSU));
    info.set_txDiscard(Count(c.txDiscard));
    info.set_txError(Count(c.txError));
    info.set_txOverflow(Count(c.txOverflow));
    info.set_rxSU(Count(c.rxSU));
    OnIoctlResponse(response);
}
