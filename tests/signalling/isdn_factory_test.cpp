// The ISDN factory's refusals that the control link cannot carry.

#include <gtest/gtest.h>

#include "signalling/isdn/isdn_factory.h"
#include "tests/support/capture.h"

TEST(IsdnFactory, DeclinesABChannelNumberOutsideOneToThree) {
    support::StreamCapture err(std::cerr);
    for (int subslot : {0, 4}) {
        LGCP::CreateParams params;
        LGCP::AtsQsigBParams& b = params.select_ats_qsig_b();
        b.set_slot(1);
        b.set_subslot(subslot);
        EXPECT_EQ(IsdnFactory::instance().NewSlot(params), nullptr);
    }
    EXPECT_EQ(err.text(), "ISDN: ats-qsig-b: no B channel 0\nISDN: ats-qsig-b: no B channel 4\n");
}
