#pragma once
// The base of the slots whose link runs on an HDLC channel (the PSTN slot's
// SS7 link, the HDLC slot's raw frames): the channel on the slot's trunk
// timeslot, which the slot's connections use while it is active, and the
// periodic link reports.

#include "runtime/loop/timer.h"
#include "signalling/hdlc/hdlc_channel.h"
#include "signalling/line_slot.h"

class HdlcLinkSlot : public LineSlot, protected HDLC::Receiver {
protected:
    // On an E1 trunk timeslot, or on the channel of a trunk of that kind.
    HdlcLinkSlot(int line, Mcc::Mode mode)
        : LineSlot(line), hdlc_(*this, line, trunk(), timeslot(), mode) {}
    HdlcLinkSlot(int line, ACP::TrunkType::NamedNumber kind, int trunk, int timeslot,
                 Mcc::Mode mode)
        : LineSlot(line, kind, trunk, timeslot), hdlc_(*this, line, trunk, timeslot, mode) {}

    int OwnChannel() const override { return hdlc_.channel(); }
    int OwnSource() const override { return hdlc_.IsActive() ? line() : -1; }

    // The reports of the slot, sent every report period from StartReports
    // until StopReports; the base sends hdlcLinkInfo.
    virtual void Report();
    void StartReports();
    void StopReports() { report_.reset(); }

    HDLC hdlc_;

private:
    void OnReport();

    Timer report_;
};
