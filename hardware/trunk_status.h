#pragma once
// The `trunkStatus` signal with which the E1 and the SPI framer services
// report a trunk to the controller: its number, line state and error
// counters, and its type (`e1` or `bri`); the name stays empty and
// clockMaster false.

#include <cstdint>

#include "messages/acp/acp.h"
#include "messages/lgcp/lgcp.h"

struct TrunkReport {
    int trunk = 0;
    // A value of ACP::TrunkState.
    int state = ACP::TrunkState::normal;
    int slips = 0;
    int lossBF = 0;
    int lossCarrier = 0;
    int lossAIS = 0;
    int lossRAI = 0;
};

LGCP::Signal TrunkStatusSignal(TrunkReport const& report, ACP::TrunkType::NamedNumber type);
