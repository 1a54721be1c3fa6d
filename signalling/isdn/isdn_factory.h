#pragma once
// The ISDN slot factory of the chain: ISDN links on HDLC channels of the MCC
// (`isdn`), on ATS-QSIG links of the DSP (`ats-qsig`), and the B channels of
// those (`ats-qsig-b`); it adds nothing to the resource report. With it, the
// settings of an ISDN link as the controller's parameters and the signalling
// configuration give them (the window of a basic or primary rate access, the
// side, T200 and T203, the trace level, the report period), which the PSTN
// slot's ISDN form takes too.

#include "messages/lgcp/lgcp.h"
#include "signalling/isdn/isdn_link.h"
#include "slots/slot_factory.h"

class IsdnFactory : public SlotFactory {
public:
    static IsdnFactory& instance();
    char const* GetName() const override { return "ISDN"; }
    Slot* INewSlot(LGCP::CreateParams const& params) override;
    void Query(LGCP::Resources&) override {}

private:
    IsdnFactory() = default;
};

namespace ISDN {

IsdnLink::Settings LinkSettings(bool basic_access, Side side, int log);
IsdnLink::Settings LinkSettings(LGCP::IsdnParams const& params);

}  // namespace ISDN
