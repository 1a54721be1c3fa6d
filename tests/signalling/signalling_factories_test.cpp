// The HDLC factory's trace.

#include "signalling/hdlc_slot_factory.h"

#include <gtest/gtest.h>

#include "server/trace_ctl.h"
#include "tests/support/capture.h"
#include "tests/support/temp_root.h"

TEST(SignallingFactories, HdlcMarksEachCreateOnTheLogStreamWhileItsTraceIsOn) {
    LGCP::CreateParams params;
    params.select_map();
    support::StreamCapture log(std::clog);
    EXPECT_EQ(HdlcSlotFactory::instance().NewSlot(params), nullptr);
    traces.signalling.hdlc = true;
    EXPECT_EQ(HdlcSlotFactory::instance().NewSlot(params), nullptr);
    traces.signalling.hdlc = false;
    EXPECT_EQ(log.text(), "\nHdlcSlotFactory.INewSlot\n\n");
}
