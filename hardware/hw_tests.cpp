#include "hardware/hw_tests.h"

#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "hardware/hw_mux.h"
#include "runtime/log/ext.h"

namespace {

unsigned const timeslots_per_bus = 128;
unsigned const write_settle_us = 500;
unsigned const disable_settle_us = 250;

unsigned char NextPatternByte() {
    return static_cast<unsigned char>(random() & 0xFF);
}

}  // namespace

HwTests& HwTests::instance() {
    static HwTests tests;
    return tests;
}

void HwTests::PutHeader(std::ostream& os) const {
    os << "bus " << bus_ << ": ";
}

bool HwTests::OnCommand(LGCP::Command const& command) {
    if (!command.testBpc_isSelected()) return false;
    LGCP::BpcTestParams const& params = command.get_testBpc();
    bus_ = params.get_bus().getValue();
    first_ =
        HwMux::first_bus_output + timeslots_per_bus * bus_ + params.get_timeslot_start().getValue();
    end_ = first_ + params.get_timeslot_length().getValue();
    seed_ = uint32_t(params.get_seed().getValue());
    srandom(seed_);
    LGCP::BpcTestMode const& mode = params.get_mode();
    if (mode.read_isSelected())
        ReadTest();
    else if (mode.write_isSelected())
        WriteTest();
    else if (mode.disconnect_isSelected())
        DisconnectTest();
    else
        Error(LGCP::ErrorCause::invalidParams);
    return true;
}

void HwTests::Verify(char const* failed, char const* expected, char const* got) {
    HwMux& mux = HwMux::instance();
    for (uint32_t channel = first_; channel < end_; ++channel) {
        unsigned char const want = NextPatternByte();
        auto const byte = static_cast<unsigned char>(mux.Read(int(channel)));
        if (byte == want) continue;
        std::cerr << ext::header(this) << failed << " on channel " << channel % timeslots_per_bus
                  << ' ' << expected << ' ' << ext::hex(&want, &want + 1) << ' ' << got << ' '
                  << ext::hex(&byte, &byte + 1) << std::endl;
        Error(LGCP::ErrorCause::busError);
        return;
    }
    Success();
}

void HwTests::ReadTest() {
    Verify("test failed", "expected", "read");
}

void HwTests::WriteTest() {
    HwMux& mux = HwMux::instance();
    for (uint32_t channel = first_; channel < end_; ++channel)
        mux.Write(int(channel), NextPatternByte());
    ::usleep(write_settle_us);
    srandom(seed_);
    Verify("write failed", "write", "written");
}

void HwTests::DisconnectTest() {
    HwMux& mux = HwMux::instance();
    for (uint32_t channel = first_; channel < end_; ++channel) mux.Disable(int(channel));
    ::usleep(disable_settle_us);
    Success();
}
