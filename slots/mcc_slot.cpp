#include "slots/mcc_slot.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "hardware/device/device.h"
#include "hardware/mcc_channel.h"
#include "runtime/log/ext.h"

namespace {

// Receive settings of a raw channel: packets of up to 512 bytes, delivered
// and sent from the first byte on.
uint32_t const rx_packet_size = 512;
uint32_t const rx_threshold = 1;
uint32_t const tx_threshold = 1;

}  // namespace

MccSlot::MccSlot(Fd const& channel, int timeslot) : timeslot_(timeslot) {
    event_.Bind("MccSlot::OnEvent", &MccSlot::OnEvent, this);
    event_.Schedule(channel, POLLIN);
}

void MccSlot::PutHeader(std::ostream& os) const { os << *this << ": "; }

bool MccSlot::IUserData(std::vector<char> const& data) {
    // The channel is a line: what it does not take is lost there, and the
    // command is still done.
    ssize_t const written = Device::write(event_.lowlevel_fd(), data.data(), data.size());
    if (written < 0) {
        Errno const error;
        std::cerr << ext::header(this) << "user data of " << data.size()
                  << " bytes not written: " << error << std::endl;
    } else if (size_t(written) != data.size()) {
        std::cerr << ext::header(this) << "user data cut to " << written << " of "
                  << data.size() << " bytes" << std::endl;
    }
    return true;
}

void MccSlot::OnEvent(int fd, short revents) {
    char buffer[read_size];
    Mcc::ServeReads(event_, fd, revents, timeslot_, ext::header(this), buffer, sizeof(buffer),
                    [&](size_t got) {
                        OnUserData(std::vector<char>(buffer, buffer + got));
                        return true;
                    });
}

MccFactory& MccFactory::instance() {
    static MccFactory factory;
    return factory;
}

void MccFactory::PutHeader(std::ostream& os) const { os << "mcc: "; }

Slot* MccFactory::INewSlot(LGCP::CreateParams const& params) {
    if (!params.mcc_isSelected()) return nullptr;
    LGCP::MccParams const& mcc = params.get_mcc();
    int const type = mcc.get_type().asInt();
    if (type < 0 || type > int(Mcc::transparent)) return nullptr;
    uint32_t const mode =
        mcc.get_mode().asInt() == LGCP::MccMode::ss7 ? uint32_t(Mcc::ss7) : uint32_t(type);
    std::clog << ext::header(this) << "MCC_ALLOCATE" << " type=" << mode << std::endl;
    Mcc::Channel const channel = Mcc::Open(
        O_RDWR | O_NONBLOCK | O_CLOEXEC, {mode, rx_packet_size, 0, rx_threshold, tx_threshold});
    // A channel without a switch channel could never be connected: refused too.
    if (channel.failed != Mcc::Channel::none) {
        std::cerr << ext::header(this) << Mcc::FailureText(channel.failed)
                  << std::strerror(channel.error)
                  << std::endl;
        return nullptr;
    }
    return new MccSlot(channel.fd, channel.timeslot);
}

void MccFactory::Query(LGCP::Resources& resources) {
    Mcc::Counts counts;
    Fd const fd(Device::open(Mcc::device, O_RDONLY | O_CLOEXEC));
    if (fd && !Mcc::Resources(fd.lowlevel_fd(), counts)) counts = Mcc::Counts();
    resources.set_mcc_data(int(counts.data));
    resources.set_mcc_bri(int(counts.bri));
    resources.set_mcc_trans(int(counts.transparent));
}
