#include "rtp/rtp_slot.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/ip.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <functional>
#include <iostream>
#include <sstream>

#include "hardware/device/device.h"
#include "hardware/device/record.h"
#include "hardware/device/rtp_driver.h"
#include "hardware/device_names.h"
#include "hardware/hw_mux.h"
#include "rtp/driver_end.h"
#include "runtime/log/ext.h"
#include "slots/slot_factory.h"

using namespace Device;

namespace {

sockaddr_in SocketAddress(in_addr_t address, uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = address;
    a.sin_port = htons(port);
    return a;
}

// A UDP socket bound to the local end and connected to the remote one, with
// the stream's IP marking; invalid, with the failed step on `err`.
Fd UdpSocket(RtpSetup const& s, uint16_t offset, char const* what, std::ostream& err) {
    auto const failed = [&](char const* step) {
        Errno const error;
        err << what << " socket " << step << " fail: " << error << std::endl;
        return Fd();
    };
    Fd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) return failed("socket");
    int const ttl = s.ttl, tos = s.tos;
    if (ttl && ::setsockopt(fd.lowlevel_fd(), IPPROTO_IP, IP_TTL, &ttl, sizeof(ttl)) != 0)
        return failed("IP_TTL");
    if (::setsockopt(fd.lowlevel_fd(), IPPROTO_IP, IP_TOS, &tos, sizeof(tos)) != 0)
        return failed("IP_TOS");
    sockaddr_in const local = SocketAddress(s.local_address, uint16_t(s.local_port + offset));
    if (::bind(fd.lowlevel_fd(), reinterpret_cast<sockaddr const*>(&local), sizeof(local)) != 0)
        return failed("bind");
    sockaddr_in const remote = SocketAddress(s.remote_address, uint16_t(s.remote_port + offset));
    if (::connect(fd.lowlevel_fd(), reinterpret_cast<sockaddr const*>(&remote), sizeof(remote)) !=
        0)
        return failed("connect");
    return fd;
}

// The canonical name of the stream's end: the local address its RTCP
// socket sends from.
std::string LocalName(Fd const& fd) {
    sockaddr_in a{};
    socklen_t size = sizeof(a);
    char text[INET_ADDRSTRLEN] = "0.0.0.0";
    if (::getsockname(fd.lowlevel_fd(), reinterpret_cast<sockaddr*>(&a), &size) == 0)
        ::inet_ntop(AF_INET, &a.sin_addr, text, sizeof(text));
    return text;
}

bool Send(Fd const& fd, Rtcp::Packet const& packet, std::ostream& err) {
    if (!fd || packet.empty()) return true;
    // An error an earlier packet drew (the peer's port unreachable before it
    // listened) waits on the socket and would fail this send: take it off.
    int pending = 0;
    socklen_t size = sizeof(pending);
    ::getsockopt(fd.lowlevel_fd(), SOL_SOCKET, SO_ERROR, &pending, &size);
    if (::send(fd.lowlevel_fd(), packet.data(), packet.size(), MSG_DONTWAIT | MSG_NOSIGNAL) >= 0)
        return true;
    Errno const error;
    err << "rtcp send fail: " << error << std::endl;
    return false;
}

// The driver's records as the printers show them.
void PrintRecord(std::ostream& os, uint32_t number, uint8_t const* record) {
    switch (number) {
        case RTP_OPEN_SESSION: {
            namespace P = RtpConnection;
            rtp_connection_params const p{
                Device::get16(record + P::packet_factor), Device::get16(record + P::rx_pt),
                Device::get16(record + P::tx_pt), Device::get32(record + P::ssrc)};
            os << p;
            return;
        }
        case RTP_ATTACH_SESSION:
            os << rtp_attach_session_params{int(Device::get32(record + RtpAttach::fd_rtp)),
                                            int(Device::get32(record + RtpAttach::pid_rtp))};
            return;
        default:
            return;
    }
}

}  // namespace

RtpSlot::RtpSlot(RtpSetup const& setup) : setup_(setup) {}

RtpSlot::~RtpSlot() {
    Close();
}

void RtpSlot::PutHeader(std::ostream& os) const {
    os << "rtp[" << timeslot_ << "]: ";
}

bool RtpSlot::Open(SlotFactory const& factory) {
    std::ostringstream err;
    factory.PutHeader(err);
    err << "rtp do not created: ";
    if (OpenSteps(err)) return true;
    std::cerr << err.str() << std::flush;
    Close();
    return false;
}

bool RtpSlot::OpenSteps(std::ostream& err) {
    Fd const device(Device::open(GetRtpDevName(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (!device) {
        Errno const error;
        err << "device \"" << GetRtpDevName() << "\" open fail: " << error << std::endl;
        return false;
    }
    events_.Bind("RtpSlot::OnRtpEvent", &RtpSlot::OnRtpEvent, this);
    events_.Schedule(device, POLLIN);
    if (!OpenSockets(err) || !StartSession(err)) return false;
    RtpChannelRecord channel;
    if (!Request(RTP_CHANNEL_INFO, "RTP_CHANNEL_INFO", channel.data(), err)) return false;
    timeslot_ = int32_t(channel.get32(RtpChannel::tdm));
    set_receiver_timeslot(timeslot_);
    holds_port_ = true;
    return true;
}

bool RtpSlot::OpenSockets(std::ostream& err) {
    // A stream on another process's session has its sockets there.
    if (setup_.attach_only) return true;
    rtp_socket_ = UdpSocket(setup_, 0, "rtp", err);
    if (!rtp_socket_) return false;
    rtcp_socket_ = UdpSocket(setup_, 1, "rtcp", err);
    if (!rtcp_socket_) return false;
    rtcp_ = std::make_unique<Rtcp::RtcpReporter>(setup_.ssrc, LocalName(rtcp_socket_));
    return true;
}

bool RtpSlot::StartSession(std::ostream& err) {
    namespace P = RtpConnection;
    RtpConnectionRecord params;
    params.put16(P::packet_factor, setup_.packet_factor);
    params.put16(P::rx_pt, setup_.rx_pt);
    params.put16(P::tx_pt, setup_.tx_pt);
    params.put32(P::ssrc, setup_.ssrc);
    params.put32(P::crate, setup_.crate);
    params.put32(P::vad, setup_.vad ? 1 : 0);
    params.put32(P::ttl, setup_.ttl);
    params.put32(P::tos, setup_.tos);
    if (!Request(RTP_OPEN_SESSION, "RTP_OPEN_SESSION", params.data(), err)) return false;
    session_ = true;
    RtpAttachRecord attach;
    attach.put32(RtpAttach::fd_rtp,
                 uint32_t(setup_.attach_only ? setup_.attach_fd : rtp_socket_.lowlevel_fd()));
    attach.put32(RtpAttach::pid_rtp, uint32_t(setup_.attach_only ? setup_.attach_pid : ::getpid()));
    return Request(RTP_ATTACH_SESSION, "RTP_ATTACH_SESSION", attach.data(), err) && OnSessionOpen();
}

void RtpSlot::EndSession() {
    if (!session_) return;
    OnSessionClose();
    session_ = false;
    Logged([&](std::ostream& err) { return Request(RTP_CLOSE_SESSION, "RTP_CLOSE_SESSION", err); });
}

bool RtpSlot::RestartSession(uint16_t rx_pt, uint16_t tx_pt) {
    uint16_t const old_rx = setup_.rx_pt, old_tx = setup_.tx_pt;
    EndSession();
    setup_.rx_pt = rx_pt;
    setup_.tx_pt = tx_pt;
    auto const start = [this](std::ostream& err) { return StartSession(err); };
    if (Logged(start)) return true;
    // The stream goes on with the codec it had.
    EndSession();
    setup_.rx_pt = old_rx;
    setup_.tx_pt = old_tx;
    Logged(start);
    return false;
}

void RtpSlot::Close() {
    EndSession();
    events_.Release();
    if (holds_port_) HwMux::instance().Disable(timeslot_);
    holds_port_ = false;
    rtp_socket_.close();
    rtcp_socket_.close();
}

void RtpSlot::IAfterCreate() {
    OnChangeOutputStream(true);
    OnChangeInputStream(true);
    if (rtcp_) Logged([&](std::ostream& err) { return Send(rtcp_socket_, rtcp_->Start(), err); });
}

bool RtpSlot::IBeforeDestroy() {
    if (rtcp_) Logged([&](std::ostream& err) { return Send(rtcp_socket_, rtcp_->End(), err); });
    Close();
    return true;
}

bool RtpSlot::Logged(std::function<bool(std::ostream&)> const& step) const {
    std::ostringstream err;
    if (step(err)) return true;
    std::cerr << ext::header(this) << err.str() << std::flush;
    return false;
}

bool RtpSlot::Request(uint32_t number, char const* name, uint8_t* record, std::ostream& err) {
    if (!events_.IsActive()) {
        err << name << " fail: the device is closed" << std::endl;
        return false;
    }
    if (Device::ioctl(device(), number, record) >= 0) return true;
    error_ = errno;
    RtpErr const error(-1);
    err << name << " fail: ";
    error.Put(err);
    err << '\n';
    PrintRecord(err, number, record);
    err << std::flush;
    return false;
}

bool RtpSlot::Request(uint32_t number, char const* name, std::ostream& err) {
    if (!events_.IsActive()) {
        err << name << " fail: the device is closed" << std::endl;
        return false;
    }
    if (Device::ioctlValue(device(), number, 0) >= 0) return true;
    error_ = errno;
    RtpErr const error(-1);
    err << name << " fail: ";
    error.Put(err);
    err << std::endl;
    return false;
}

bool RtpSlot::enablePD(int timeout_ms) {
    if (timeout_ms < 0) {
        std::cerr << ext::header(this) << "pd-enable timeout " << timeout_ms << " is negative"
                  << std::endl;
        return false;
    }
    RtpPdRecord params{uint32_t(timeout_ms)};
    return Logged([&](std::ostream& err) {
        return Request(RTP_PD_ENABLE, "RTP_PD_ENABLE", params.data(), err);
    });
}

bool RtpSlot::disablePD() {
    return Logged(
        [&](std::ostream& err) { return Request(RTP_PD_DISABLE, "RTP_PD_DISABLE", err); });
}

void RtpSlot::OnRtpEvent(int fd, short revents) {
    if (!(revents & (POLLIN | POLLHUP | POLLERR))) return;
    while (events_.IsActive()) {
        RtpEventRecord record;
        ssize_t const got = Device::read(fd, record.data(), record.size);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && errno == EAGAIN) return;
        if (got < 0 || (got == 0 && DriverHungUp(fd))) {
            // The device has ended or failed: it is not watched any more,
            // so a descriptor that stays readable cannot spin the loop.
            Errno const error;
            std::cerr << ext::header(this) << "fail to read from rtp: ";
            if (got == 0)
                std::cerr << "end of file";
            else
                std::cerr << error;
            std::cerr << "; the device is closed" << std::endl;
            return SessionEnded(got == 0 ? EPIPE : error.value());
        }
        if (size_t(got) != record.size) {
            std::cerr << ext::header(this) << "fail to read from rtp: a record of " << got
                      << " bytes, not " << record.size << std::endl;
            continue;
        }
        uint32_t const type = record.get32(RtpEvent::type);
        uint32_t const value = record.get32(RtpEvent::value);
        uint32_t const timeout = record.get32(RtpEvent::timeout);
        std::clog << ext::header(this) << "rtp event: "
                  << " type=" << type << std::endl;
        // The signal's fields are 32-bit signed numbers: a larger one is
        // not passed on wrapped.
        if (value > INT32_MAX || timeout > INT32_MAX) {
            std::cerr << ext::header(this) << "rtp event dropped: value " << value << " timeout "
                      << timeout << " above " << INT32_MAX << std::endl;
            continue;
        }
        processRtpEvent(type, value, timeout);
    }
}

void RtpSlot::SessionEnded(int cause) {
    OnSessionEnded();
    ended_ = true;
    // The port goes back to the board with the device: first cut every path
    // through it, while it is still this slot's.
    for (size_t n = consumers().size(); n > 0 && !consumers().empty(); --n)
        Disconnect(*consumers().front());
    Disconnect(*this);
    if (holds_port_) HwMux::instance().Disable(timeslot_);
    holds_port_ = false;
    release_receivers();
    if (rtcp_) Logged([&](std::ostream& err) { return Send(rtcp_socket_, rtcp_->End(), err); });
    session_ = false;
    Close();
    OnAbort(cause);
}

bool RtpSlot::ChangeCodec(bool encoder, LGCP::CodecMode const& mode) {
    uint16_t const type = PayloadTypeOf(mode, setup_.payload);
    char const* const what = encoder ? "encoder-mode " : "decoder-mode ";
    if ((encoder ? setup_.tx_pt : setup_.rx_pt) == type) {
        std::clog << ext::header(this) << what << mode.name() << " - Nothing to do" << std::endl;
        return true;
    }
    if (RestartSession(encoder ? setup_.rx_pt : type, encoder ? type : setup_.tx_pt)) return true;
    std::cerr << ext::header(this) << "fail to restart RTP session!" << std::endl;
    return false;
}

bool RtpSlot::Ioctl(LGCP::IoctlParams const& params) {
    if (ended_) {
        std::cerr << ext::header(this) << "ioctl refused: the driver ended the session"
                  << std::endl;
        return false;
    }
    if (params.echoSuppressor_isSelected()) return echoCancel(params.get_echoSuppressor());
    if (params.dtmf_enable_isSelected()) return enableDTMF(params.get_dtmf_enable());
    if (params.dtmf_reject_enable_isSelected())
        return enableDTMFReject(params.get_dtmf_reject_enable());
    if (params.dtmf_params_isSelected()) return configureDTMF(params.get_dtmf_params());
    if (params.vad_enable_isSelected()) return enableVAD(params.get_vad_enable());
    if (params.vad_disable_isSelected()) return disableVAD();
    if (params.vad_params_isSelected()) return configureVAD(params.get_vad_params());
    if (params.sd_enable_isSelected()) return enableSD(params.get_sd_enable());
    if (params.sd_disable_isSelected()) return disableSD();
    if (params.sd_params_isSelected()) return configureSD();
    if (params.pd_enable_isSelected())
        return enablePD(params.get_pd_enable().get_timeout().getValue());
    if (params.pd_disable_isSelected()) return disablePD();
    if (params.encoder_mode_isSelected()) return ChangeCodec(true, params.get_encoder_mode());
    if (params.decoder_mode_isSelected()) return ChangeCodec(false, params.get_decoder_mode());
    // These are done as far as the receivers can: always a success.
    if (params.translateDTMF_isSelected()) {
        translateDTMF(params.get_translateDTMF());
    } else if (params.activateWaitTone_isSelected()) {
        activateAudibleCall();
    } else if (params.deactivateWaitTone_isSelected()) {
        cancelAudibleCall();
    } else if (params.rx_gain_isSelected()) {
        configureRxGain(params.get_rx_gain());
    } else if (params.tone_filter_isSelected()) {
        configureToneFilter(params.get_tone_filter());
    } else if (params.selcal_isSelected()) {
        translateSelcal(params.get_selcal());
    } else {
        return false;
    }
    return true;
}
