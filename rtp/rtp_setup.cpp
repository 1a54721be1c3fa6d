#include "rtp/rtp_setup.h"

#include <arpa/inet.h>

#include <random>
#include <string>

#include "rtp/rtp_payload.h"

namespace {

class Reader {
public:
    Reader(std::ostream& err, std::string const& header) : err_(err), header_(header) {}

    // Prints the refusal; always false.
    bool refuse(std::string const& why) const {
        err_ << header_ << "rtp do not created: " << why << std::endl;
        return false;
    }

    // A dotted IPv4 address.
    bool address(TERM::HostAddress const& host, char const* which, in_addr_t& out) const {
        std::string const text = host.get_iaddr();
        in_addr parsed{};
        if (inet_pton(AF_INET, text.c_str(), &parsed) != 1)
            return refuse(std::string(which) + " address \"" + text + "\" is no IPv4 address");
        out = parsed.s_addr;
        return true;
    }

    // A remote address that a stream can be sent to: not the unspecified
    // one (which would reach this host) nor the limited broadcast.
    bool reachable(TERM::HostAddress const& host, in_addr_t address) const {
        if (address != htonl(INADDR_ANY) && address != htonl(INADDR_BROADCAST)) return true;
        return refuse("remote address \"" + std::string(host.get_iaddr()) +
                      "\" is no address to send to");
    }

    // A port with room for its RTCP port above it.
    bool port(unsigned value, char const* which, uint16_t& out) const {
        if (value == 0 || value >= 65535)
            return refuse(std::string(which) + " port " + std::to_string(value) +
                          " leaves no room for its RTCP port");
        out = uint16_t(value);
        return true;
    }

    bool range(int value, int low, long high, char const* what) const {
        if (value >= low && value <= high) return true;
        return refuse(std::string(what) + " " + std::to_string(value) + " out of range");
    }

private:
    std::ostream& err_;
    std::string const& header_;
};

uint32_t RandomSsrc() {
    static std::mt19937 generator{std::random_device{}()};
    return uint32_t(generator());
}

}  // namespace

std::optional<RtpSetup> ReadRtpSetup(LGCP::CreateRtpParams const& params, std::ostream& err,
                                     std::string const& header) {
    TERM::RtpParams const& rtp = params.get_codecRTP();
    Reader const read(err, header);
    RtpSetup s;
    s.payload = rtp.get_payload().asInt();
    int const type = RtpPayloadType(s.payload);
    if (type < 0) {
        err << header << "rtp do not created: payload " << s.payload << "not found" << std::endl;
        return std::nullopt;
    }
    s.rx_pt = s.tx_pt = uint16_t(type);
    if (!read.address(rtp.get_dhost(), "remote", s.remote_address) ||
        !read.reachable(rtp.get_dhost(), s.remote_address) ||
        !read.port(rtp.get_dhost().get_port().getValue(), "remote", s.remote_port))
        return std::nullopt;
    s.local_port = s.remote_port;
    if (rtp.shost_isPresent() &&
        (!read.address(rtp.get_shost(), "local", s.local_address) ||
         !read.port(rtp.get_shost().get_port().getValue(), "local", s.local_port)))
        return std::nullopt;
    if (rtp.pfactor_isPresent()) {
        int const factor = rtp.get_pfactor().getValue();
        if (!read.range(factor, 0, 65535, "packetisation factor")) return std::nullopt;
        s.packet_factor = uint16_t(factor);
    }
    if (rtp.crate_isPresent()) {
        int const crate = rtp.get_crate().getValue();
        if (!read.range(crate, 0, INT32_MAX, "crate")) return std::nullopt;
        s.crate = uint32_t(crate);
    }
    s.vad = rtp.vad_isPresent() && rtp.get_vad();
    s.ssrc = rtp.ssrc_isPresent() ? rtp.get_ssrc().getValue() : RandomSsrc();
    if (rtp.ttl_isPresent()) {
        unsigned const ttl = rtp.get_ttl().getValue();
        if (!read.range(int(ttl), 1, 255, "ttl")) return std::nullopt;
        s.ttl = uint8_t(ttl);
    }
    if (rtp.qos_dscp_isPresent()) {
        int const dscp = rtp.get_qos_dscp().asInt();
        if (!read.range(dscp, 0, 63, "qos-dscp")) return std::nullopt;
        s.tos = uint8_t(dscp << 2);
    }
    if (rtp.rtp_e2m_isPresent() && rtp.get_rtp_e2m().mode_isPresent() &&
        rtp.get_rtp_e2m().get_mode().only_rtp_isSelected()) {
        TERM::RtpExtDescription const& other = rtp.get_rtp_e2m().get_mode().get_only_rtp();
        if (!read.range(other.get_fd().getValue(), 0, INT32_MAX, "only-rtp fd") ||
            !read.range(other.get_pid().getValue(), 1, INT32_MAX, "only-rtp pid"))
            return std::nullopt;
        s.attach_only = true;
        s.attach_fd = other.get_fd().getValue();
        s.attach_pid = other.get_pid().getValue();
    }
    return s;
}

uint16_t PayloadTypeOf(LGCP::CodecMode const& mode, int payload) {
    switch (mode.asInt()) {
        case LGCP::CodecMode::alaw:
            return 8;
        case LGCP::CodecMode::ulaw:
            return 0;
        default: {
            // lbrc
            int const own = RtpPayloadType(payload);
            return own == 4 || own == 18 || own == 15 ? uint16_t(own) : 18;
        }
    }
}
