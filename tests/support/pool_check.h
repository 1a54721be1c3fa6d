#pragma once
// A fixture for tests that use packets: after each test every buffer must be
// back in the pool, which catches packets leaked by the code under test.

#include <gtest/gtest.h>

#include "runtime/containers/packet.h"

class PoolCheck : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_EQ(Packet::free_buffers(), Packet::pool_size) << "packets left out of the pool";
    }
};
