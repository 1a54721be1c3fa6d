#include "slots/modem_slot.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "messages/base/base.h"
#include "runtime/log/ext.h"
#include "runtime/system/fd.h"
#include "runtime/system/platform_path.h"
#include "slots/modem_factory.h"
#include "slots/ppp_helper_frame.h"

namespace {

char const pppd_path[] = "/usr/local/sbin/pppd";

// A line straight to the standard output descriptor.
void write_line(char const* text) {
    std::string const line = std::string(text) + "\n";
    ssize_t const done = ::write(1, line.data(), line.size());
    (void)done;
}

void put64(BASE::INTEGER64Bits& field, uint64_t value) {
    field.set_high(int(uint32_t(value >> 32)));
    field.set_low(int(uint32_t(value)));
}

}  // namespace

ModemSlot::ModemSlot(TERM::ModemParams const& params) : params_(params) {
    watch_.Bind(this, &ModemSlot::on_terminate);
}

ModemSlot::~ModemSlot() = default;

void ModemSlot::leave() {
    pppd_kill();
    unbind_once();
}

ModemFactory* ModemSlot::GetSlotFactory() const { return &ModemFactory::instance(); }

void ModemSlot::PutHeader(std::ostream& os) const { os << *this << ": "; }

bool ModemSlot::IOnOutputStream() {
    InitModem();
    return true;
}

bool ModemSlot::IOnInputStream() {
    InitModem();
    return true;
}

void ModemSlot::unbind_once() {
    if (!bound_) return;
    bound_ = false;
    unbind();
}

pid_t ModemSlot::Spawn(std::vector<std::string> const& argv, char const* announce,
                       char const* failure, unsigned delay_s) {
    std::vector<char*> args;
    for (std::string const& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t const pid = ::fork();
    if (pid != 0) return pid;
    if (delay_s) ::sleep(delay_s);
    if (announce) write_line(announce);
    ::execv(args[0], args.data());
    if (failure) write_line(failure);
    ::_exit(2);
}

void ModemSlot::signal_child(int sig) const {
    siginfo_t info;
    std::memset(&info, 0, sizeof(info));
    // A child already reaped may have passed its pid on to another process.
    if (::waitid(P_PID, id_t(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0) return;
    ::kill(pid_, sig);
}

void ModemSlot::pppd_exec(char const* device, char const* options) {
    if (pppd_executing()) return;
    std::vector<std::string> argv;
    argv.push_back(Platform::path(params_.execfile_isPresent() ? std::string(params_.get_execfile())
                                                               : std::string(pppd_path)));
    if (params_.execargs_isPresent()) {
        for (auto const& arg : params_.get_execargs()) {
            if (argv.size() == max_argv - 1) break;
            argv.push_back(arg);
        }
    } else {
        argv.insert(argv.end(), {"file", Platform::path(options), device});
        if (!params_.get_cid().empty()) argv.insert(argv.end(), {"remotenumber", params_.get_cid()});
    }
    pid_t const pid = Spawn(argv, nullptr, nullptr, 0);
    if (pid < 0) {
        Errno const error;
        std::cerr << ext::header(this) << "vfork fail: " << error << std::endl;
        OnAbort(error.value());
        return;
    }
    pid_ = pid;
    watch_.Attach(pid);
    std::clog << ext::header(this) << "pppd executed" << " cid=" << ext::quoted(params_.get_cid())
              << " pid=" << pid << std::endl;
}

void ModemSlot::pppd_kill() {
    if (!pppd_executing()) return;
    std::cerr << ext::header(this) << "pppd isn't terminated, killing ..." << std::endl;
    signal_child(SIGKILL);
    // Killed once: the slot no longer waits for it, and its exit is reaped
    // with no one to tell.
    watch_.Detach();
    pid_ = -1;
}

void ModemSlot::on_terminate(int status) {
    std::clog << ext::header(this) << "pppd terminated with code " << status << std::endl;
    pid_ = -1;
    if (!is_releasing()) {
        OnAbort(status);
        return;
    }
    unbind_once();
    on_release();
}

void ModemSlot::on_terminate_timeout(Timer*) {
    std::cerr << ext::header(this) << "pppd terminate timeout!" << std::endl;
    pppd_kill();
    if (!is_releasing()) return;
    unbind_once();
    on_release();
}

bool ModemSlot::IBeforeDestroy() {
    if (pppd_executing()) {
        std::cerr << ext::header(this) << "sent HUP to pppd." << std::endl;
        signal_child(SIGHUP);
        timer_.set(terminate_timeout_ms, &ModemSlot::on_terminate_timeout, this);
        return false;
    }
    unbind_once();
    return true;
}

bool ModemSlot::IActivate(TERM::TermActivateParams const& params) {
    if (!params.modem_isSelected()) {
        std::cerr << ext::header(this) << "modem's activation requests parameter." << std::endl;
        return false;
    }
    TERM::ModemUserParameters const& user = params.get_modem();
    uint32_t const session = uint32_t(modem_id());
    ModemFactory& factory = *GetSlotFactory();
    factory.SendAuth(PppHelper::AuthAcceptFrame(session));
    factory.SendAuth(PppHelper::IpSettingsFrame(
        session, {user.get_remoteAddr(), user.get_netmask(), user.get_gateway(), user.get_dns(),
                  int32_t(user.get_mtu().getValue())}));
    return true;
}

void ModemSlot::OnAuth(uint8_t const* frame) {
    PppHelper::Header const header = PppHelper::ReadHeader(frame);
    switch (header.type) {
        case PppHelper::auth_request:
            if (header.length == PppHelper::auth_request_length)
                OnAuthRequest(frame);
            else
                std::cerr << ext::header(this) << "auth request, invalid size: " << header.length
                          << std::endl;
            return;
        case PppHelper::auth_accept:
            std::cerr << ext::header(this) << "auth accept, ignored." << std::endl;
            return;
        case PppHelper::ip_settings:
            std::cerr << ext::header(this) << "auth ip, ignored." << std::endl;
            return;
        case PppHelper::accounting:
            if (header.length == PppHelper::accounting_length)
                OnAcctInformation(frame);
            else
                std::cerr << ext::header(this) << "auth accounting, invalid size: "
                          << header.length << std::endl;
            return;
        default:
            std::cerr << ext::header(this) << "unknown request from portslave: 0x" << std::hex
                      << header.type << std::dec << std::endl;
    }
}

void ModemSlot::OnAuthRequest(uint8_t const* frame) {
    PppHelper::AuthRequest const request = PppHelper::ReadAuthRequest(frame);
    TERM::ModemProceeding proceeding;
    TERM::MdmRequestUserAuth& auth = proceeding.select_auth();
    auth.set_username(request.username);
    auth.set_password(request.password);
    OnModem(proceeding);
}

void ModemSlot::OnAcctInformation(uint8_t const* frame) {
    PppHelper::Accounting const counters = PppHelper::ReadAccounting(frame);
    TERM::ModemProceeding proceeding;
    TERM::MdmAccounting& acct = proceeding.select_acct();
    put64(acct.set_octetsOut(), counters.octets_out);
    put64(acct.set_octetsIn(), counters.octets_in);
    put64(acct.set_packetsOut(), counters.packets_out);
    put64(acct.set_packetsIn(), counters.packets_in);
    put64(acct.set_time(), counters.time);
    OnModem(proceeding);
}
