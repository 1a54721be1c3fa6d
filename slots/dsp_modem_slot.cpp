#include "slots/dsp_modem_slot.h"

#include <fcntl.h>

#include <cerrno>
#include <ctime>
#include <iostream>

#include "hardware/device/device.h"
#include "hardware/device/mctl_driver.h"
#include "hardware/device_names.h"
#include "messages/base/base.h"
#include "runtime/log/ext.h"
#include "runtime/system/platform_path.h"
#include "slots/modem_factory.h"

namespace {

char const answer_options[] = "/usr/local/etc/ppp/aoptions";
char const originate_options[] = "/usr/local/etc/ppp/coptions";
char const fax_transfer_path[] = "/usr/local/sbin/fax";
char const fax_receiver_path[] = "/usr/local/bin/fax";
char const fax_file_format[] = "/var/fax-%H-%M-%S.g3";

// The data modes of the list as the driver's mask; V.120 adds nothing.
uint32_t mode_mask(ASN1::SEQUENCE_OF<TERM::DigitalDataModeEnum> const& modes) {
    uint32_t mask = 0;
    for (auto const& mode : modes) {
        int const value = mode.asInt();
        if (value == TERM::DigitalDataModeEnum::ddmV110) mask |= 1;
        if (value == TERM::DigitalDataModeEnum::ddm8BIT) mask |= 2;
        if (value == TERM::DigitalDataModeEnum::ddm7BIT) mask |= 4;
    }
    return mask;
}

}  // namespace

DspModemSlot::~DspModemSlot() { leave(); }

void DspModemSlot::unbind() { ModemFactory::instance().ReleaseModemSlot(this); }

void DspModemSlot::Abort(char const* text) {
    Errno const error;
    std::cerr << ext::header(this) << text << error << std::endl;
    OnAbort(error.value());
}

void DspModemSlot::InitModem() {
    if (modem_ != -1) return;
    Fd ctl(Device::open(GetModemDevName(), O_RDONLY));
    if (!ctl) return Abort("fail to open device: ");
    int const fd = ctl.lowlevel_fd();
    int const modem = Device::ioctlValue(fd, Device::MDM_ALLOCATE, 0);
    if (modem < 0) return Abort("insufficient resources : ");
    int const channel = Device::ioctlValue(fd, Device::MDM_GET_TIMESLOT, 0);
    if (channel < 0) return Abort("get timeslot fail : ");
    if (params_.ddm_isPresent()) {
        Device::MdmRecord ddm{uint32_t(modem)};
        ddm.put32(Device::Mdm::value, mode_mask(params_.get_ddm()));
        if (Device::ioctl(fd, Device::MDM_SET_DDM, ddm.data()) < 0)
            return Abort("set DDM failed : ");
    }
    Device::MdmRecord reset{uint32_t(modem)};
    reset.put32(Device::Mdm::value, Device::mdm_all);
    if (Device::ioctl(fd, Device::MDM_RESET_PARAMS, reset.data()) < 0) {
        Errno const error;
        std::cerr << ext::header(this) << "reset dmp parameters failed : " << error << std::endl;
    }
    if (params_.dmp_isPresent()) {
        for (auto const& param : params_.get_dmp()) {
            int const index = param.get_offset().getValue();
            int const value = param.get_value().getValue();
            Device::MdmParamRecord set{uint32_t(modem)};
            set.put32(Device::MdmParam::index, uint32_t(index));
            set.put32(Device::MdmParam::value, uint32_t(value));
            if (Device::ioctl(fd, Device::MDM_SET_PARAM, set.data()) >= 0) continue;
            Errno const error;
            std::cerr << ext::header(this) << "set dmp parameter " << "index=" << index
                      << " value=" << value << " failed : " << error << std::endl;
        }
    }
    channel_ = channel;
    modem_ = modem;
    control_ = ctl;
    OnChangeOutputStream(true);
    OnChangeInputStream(true);

    bool const originate = params_.originate_isPresent();
    Device::MdmRecord call{uint32_t(modem)};
    call.put32(Device::Mdm::value, Device::mdm_all);
    if (!params_.fax_isPresent()) {
        if (Device::ioctl(fd, originate ? Device::MDM_ORIGINATE : Device::MDM_ANSWER,
                          call.data()) == -1)
            return Abort(originate ? "originate failed : " : "answer failed : ");
        std::string const device = Platform::path("/dev/mdm" + std::to_string(modem));
        pppd_exec(device.c_str(), originate ? originate_options : answer_options);
    } else if (params_.execargs_isPresent()) {
        ctl.close();
        RunFaxTransfer();
    } else if (!originate) {
        ctl.close();
        RunFaxReceiver();
    } else if (Device::ioctl(fd, Device::MDM_ORIGINATE_FAX, call.data()) == -1) {
        Abort("originate failed : ");
    }
}

void DspModemSlot::RunFaxTransfer() {
    std::vector<std::string> argv;
    argv.push_back(Platform::path(params_.execfile_isPresent() ? std::string(params_.get_execfile())
                                                               : std::string(fax_transfer_path)));
    argv.insert(argv.end(), {"-m", std::to_string(modem_)});
    auto const& args = params_.get_execargs();
    size_t const room = max_argv - 1 - argv.size();
    for (auto const& arg : args) {
        if (argv.size() == max_argv - 1) break;
        argv.push_back(arg);
    }
    if (args.size() > room)
        std::cerr << ext::header(this) << "fax transfer: " << args.size() - room
                  << " arguments beyond the first " << room << " dropped" << std::endl;
    control_.close();
    pid_t const pid = Spawn(argv, "executing fax transfer", "fail to exec!", 0);
    if (pid < 0) return Abort("vfork fail: ");
    pid_ = pid;
    watch_.Bind(this, &DspModemSlot::on_fax_terminate);
    watch_.Attach(pid);
    std::clog << ext::header(this) << "fax transfer executed" << " modem=" << modem_
              << " ts=" << channel_ << std::endl;
}

void DspModemSlot::RunFaxReceiver() {
    control_.close();
    char name[64];
    std::time_t const now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    std::strftime(name, sizeof(name), fax_file_format, &local);
    std::vector<std::string> const argv = {Platform::path(fax_receiver_path), "-m",
                                           std::to_string(modem_), "receive",
                                           Platform::path(name)};
    if (Spawn(argv, "executing", "fail to exec!", 1) < 0) return Abort("vfork fail: ");
    std::clog << ext::header(this) << "fax receiver executed" << " modem=" << modem_
              << " ts=" << channel_ << std::endl;
}

void DspModemSlot::on_fax_terminate(int status) {
    std::clog << ext::header(this) << "fax terminated with code " << status << std::endl;
    pid_ = -1;
    if ((status & 0xFF) != 0) std::clog << ext::header(this) << "fax transfer failed" << std::endl;
    int const pages = (status >> 8) & 0xFF;
    std::clog << ext::header(this) << "pages received: " << pages << std::endl;
    TERM::ModemProceeding proceeding;
    proceeding.select_acct().set_octetsIn().set_low(pages);
    OnModem(proceeding);
    if (!is_releasing()) {
        OnAbort(status);
        return;
    }
    unbind_once();
    on_release();
}
