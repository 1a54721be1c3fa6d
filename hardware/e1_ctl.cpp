#include "hardware/e1_ctl.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "hardware/device/device.h"
#include "hardware/device/e1_cas_driver.h"
#include "hardware/device/maintenance_driver.h"
#include "hardware/device_names.h"
#include "hardware/trunk_status.h"

namespace {

char const cas_path[] = "/dev/e1-cas";
char const header[] = "E1: ";

// Timeslots 0 and 16 of an E1 trunk carry no channel of its own.
bool IsChannel(int timeslot) {
    return timeslot != 0 && timeslot != 16;
}

}  // namespace

E1Ctl& E1Ctl::instance() {
    static E1Ctl e1;
    return e1;
}

E1Ctl::E1Ctl(unsigned period_ms) : period_ms_(period_ms) {
    cas_event_.Bind("E1/Cas", &E1Ctl::OnUpdateCas, this);
}

void E1Ctl::OnConnect() {
    SendStatus();
    status_timer_.set(period_ms_, &E1Ctl::OnCheckStatus, this);
    tclk_mask_ = 0;
    PushTclk();
    CheckOpenCas();
}

bool E1Ctl::OnCommand(LGCP::Command const& command) {
    if (command.ioctl_isSelected()) {
        LGCP::IoctlParams const& params = command.get_ioctl();
        if (CheckOpenCas() && params.cas_isSelected()) Cas(params.get_cas());
        Success();
        return true;
    }
    if (command.trunkCfg_isSelected()) {
        ConfigureTrunk(command.get_trunkCfg());
        Success();
        return true;
    }
    return false;
}

// Status and TCLK on /dev/maintenance.

bool E1Ctl::OpenMaintenance() {
    if (!maintenance_) maintenance_ = Fd(Device::open(GetMaintenance(), O_RDWR | O_NONBLOCK));
    return maintenance_.is_valid();
}

void E1Ctl::SendStatus() {
    if (!OpenMaintenance()) return;
    for (int trunk = 0; trunk < trunks; ++trunk) {
        Device::E1StatusRecord record;
        record.put32(Device::E1Status::trunk, uint32_t(trunk));
        if (Device::ioctl(maintenance_.lowlevel_fd(), Device::MAINT_E1_STATUS, record.data()) < 0) {
            Errno const error;
            std::cerr << header << "synchronization status read fail, trunk = " << trunk
                      << " cause = " << error << std::endl;
            continue;
        }
        TrunkReport report;
        report.trunk = trunk;
        report.state = int(record.get32(Device::E1Status::state));
        report.slips = int(record.get32(Device::E1Status::slips));
        report.lossBF = int(record.get32(Device::E1Status::loss_bf));
        report.lossCarrier = int(record.get32(Device::E1Status::loss_carrier));
        report.lossAIS = int(record.get32(Device::E1Status::loss_ais));
        report.lossRAI = int(record.get32(Device::E1Status::loss_rai));
        SendSignal(TrunkStatusSignal(report, ACP::TrunkType::e1));
    }
}

void E1Ctl::OnCheckStatus() {
    SendStatus();
    CheckOpenCas();
    status_timer_.set(period_ms_, &E1Ctl::OnCheckStatus, this);
}

void E1Ctl::ConfigureTrunk(LGCP::TrunkCfg const& config) {
    int const trunk = config.get_trunk().getValue();
    if (trunk < 0) return;
    uint32_t const bit = trunk < 32 ? uint32_t(1) << trunk : 0;
    if (config.get_mode().asInt() == LGCP::TrunkMode::slave)
        tclk_mask_ |= bit;
    else
        tclk_mask_ &= ~bit;
    PushTclk();
}

void E1Ctl::PushTclk() {
    if (!OpenMaintenance()) return;
    if (Device::ioctlValue(maintenance_.lowlevel_fd(), Device::MAINT_SET_TCLK, tclk_mask_) < 0) {
        Errno const error;
        std::cerr << header << "fail to set TCLK [cause=" << error << "]" << std::endl;
        return;
    }
    std::clog << header << "TCLT = 0x" << std::hex << tclk_mask_ << std::dec << std::endl;
}

// The CAS descriptor.

bool E1Ctl::CheckOpenCas() {
    if (cas_) return true;
    cas_ = Fd(Device::open(cas_path, O_RDWR | O_NONBLOCK));
    if (!cas_) return false;
    std::clog << header << "cas interface opened!" << std::endl;
    cas_event_.Schedule(cas_, POLLIN);
    return true;
}

void E1Ctl::CloseCasInterface(char const* why) {
    std::cerr << header << "cas interface closed: " << why << std::endl;
    cas_event_.Release();
    cas_.close();
}

void E1Ctl::OnUpdateCas(int, short revents) {
    // The loop calls every handler after any poll; only a readable
    // descriptor is read, and one that hangs up or fails is closed rather
    // than polled again on every pass.
    if (!(revents & POLLIN)) {
        if (revents & (POLLERR | POLLHUP | POLLNVAL))
            CloseCasInterface(revents & POLLHUP ? "hang-up" : "error");
        return;
    }
    Device::CasChannelRecord record;
    ssize_t const got = Device::read(cas_.lowlevel_fd(), record.data(), record.size);
    if (got == ssize_t(record.size)) {
        SendCas(int(record.get32(Device::CasChannel::trunk)),
                int(record.get32(Device::CasChannel::timeslot)), record[Device::CasChannel::rx],
                record[Device::CasChannel::tx]);
    } else if (got > 0) {
        std::cerr << header << "cas record of " << got << " bytes dropped" << std::endl;
    } else if (got == 0) {
        CloseCasInterface("hang-up");
    } else if (errno != EAGAIN && errno != EINTR) {
        CloseCasInterface(std::strerror(errno));
    }
}

// CAS commands.

void E1Ctl::SendCas(int path, int timeslot, int rx, int tx) {
    LGCP::Signal signal;
    LGCP::CasSignalling& cas = signal.select_cas();
    cas.set_channel().set_path(path);
    cas.set_channel().set_timeslot(timeslot);
    cas.set_rx(rx);
    cas.set_tx(tx);
    SendSignal(signal);
}

void E1Ctl::Cas(LGCP::CasCommand const& command) {
    int const path = command.get_channel().get_path().getValue();
    int const timeslot = command.get_channel().get_timeslot().getValue();
    LGCP::CasCommandSignal const& cmd = command.get_cmd();
    if (cmd.open_isSelected())
        CasOpen(path, timeslot, cmd.get_open().getValue());
    else if (cmd.set_isSelected())
        CasOpen(path, timeslot, cmd.get_set().getValue());
    else if (cmd.close_isSelected())
        CasClose(path, timeslot);
    else if (cmd.get_isSelected())
        CasGet(path, timeslot);
}

void E1Ctl::CasOpen(int path, int timeslot, int value) {
    if (path < 0 || path >= trunks) return;
    int const fd = cas_.lowlevel_fd();
    if (cas_trunk_[path]) {
        SendCas(path, 0, 0, 0);
    } else {
        int const result = Device::ioctlValue(fd, Device::CAS_OPEN, unsigned(path));
        SendCas(path, 0, result, 0);
        std::clog << header << "open cas signalling on trunk(" << path << ") - ";
        if (result < 0) {
            std::clog << "fail(" << result << ")" << std::endl;
            return;
        }
        std::clog << "ok" << std::endl;
        cas_trunk_[path] = 1;
    }
    if (!IsChannel(timeslot)) return;
    Device::CasConfigureRecord config{uint32_t(path), uint32_t(timeslot)};
    config[Device::CasConfigure::tx] = uint8_t(value & 15);
    int const result = Device::ioctl(fd, Device::CAS_CONFIGURE, config.data());
    if (result < 0)
        SendCas(path, timeslot, result, 0);
    else
        CasReport(path, timeslot);
}

void E1Ctl::CasClose(int path, int timeslot) {
    if (path < 0 || path >= trunks || !cas_trunk_[path]) return;
    int const fd = cas_.lowlevel_fd();
    if (timeslot == 0) {
        int result = Device::ioctlValue(fd, Device::CAS_CLOSE, unsigned(path));
        if (result == 0) result = 1;
        SendCas(path, 0, result, 0);
        if (result >= 0) cas_trunk_[path] = 0;
        return;
    }
    if (!IsChannel(timeslot)) return;
    Device::CasConfigureRecord release{uint32_t(path), uint32_t(timeslot)};
    release.put32(Device::CasConfigure::release, 1);
    if (Device::ioctl(fd, Device::CAS_CONFIGURE, release.data()) < 0)
        SendCas(path, timeslot, -1, 0);
    else
        SendCas(path, timeslot, -1, 1);
}

void E1Ctl::CasGet(int path, int timeslot) {
    if (path >= 0 && path < trunks && cas_trunk_[path]) CasReport(path, timeslot);
}

void E1Ctl::CasReport(int path, int timeslot) {
    Device::CasChannelRecord channel{uint32_t(path), uint32_t(timeslot)};
    int const result = Device::ioctl(cas_.lowlevel_fd(), Device::CAS_GET, channel.data());
    if (result < 0)
        SendCas(path, timeslot, result, 0);
    else
        SendCas(path, timeslot, channel[Device::CasChannel::rx], channel[Device::CasChannel::tx]);
}
