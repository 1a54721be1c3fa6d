#pragma once
// The settings of an ISDN link as the controller's parameters and the
// signalling configuration give them: the window of a basic or primary rate
// access, the side, T200 and T203, the trace level and the report period.
// The ISDN factory's slots and the PSTN slot's ISDN form take theirs here.

#include "messages/lgcp/lgcp.h"
#include "signalling/isdn/isdn_link.h"

namespace ISDN {

IsdnLink::Settings LinkSettings(bool basic_access, Side side, int log);
IsdnLink::Settings LinkSettings(LGCP::IsdnParams const& params);

}  // namespace ISDN
