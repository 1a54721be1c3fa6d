#include "hardware/simboard/rtp_model.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "hardware/device/record.h"
#include "hardware/device/rtp_driver.h"
#include "hardware/simboard/board.h"
#include "hardware/simboard/event_words.h"
#include "hardware/simboard/voice_model.h"

namespace SimBoard {

namespace {

using namespace Device;

std::vector<Request> const rtp_requests = {
    {RTP_OPEN_SESSION, "RTP_OPEN_SESSION", Request::pointer, RtpConnectionRecord::size},
    {RTP_ATTACH_SESSION, "RTP_ATTACH_SESSION", Request::pointer, RtpAttachRecord::size},
    {RTP_CHANNEL_INFO, "RTP_CHANNEL_INFO", Request::pointer, RtpChannelRecord::size},
    {RTP_CLOSE_SESSION, "RTP_CLOSE_SESSION", Request::value, 0},
    {RTP_PD_ENABLE, "RTP_PD_ENABLE", Request::pointer, RtpPdRecord::size},
    {RTP_PD_DISABLE, "RTP_PD_DISABLE", Request::value, 0},
};

}  // namespace

RtpModel::RtpModel(Board& board, VoiceModel& voice) : Model(board), voice_(voice) {}

std::vector<Request> const& RtpModel::requests() const {
    return rtp_requests;
}

uint32_t RtpModel::selector_of(uint32_t tx_pt) {
    switch (tx_pt) {
        case 18:
            return 4;
        case 4:
            return 2;
        case 0:
        case 8:
            return 1;
        case 128:
        case 136:
            return 8;
        default:
            return 65;
    }
}

int RtpModel::serve(OpenFile& file, Request const& request, uint8_t* record, unsigned long) {
    if (request.number == RTP_OPEN_SESSION) {
        // A channel is free as soon as the last descriptor of its open closes.
        board().take_pending();
        return open_session(file, record);
    }
    Open* const open = find(file);
    if (!open || !open->has_session) return -ENOENT;
    Session& session = open->session;
    switch (request.number) {
        case RTP_ATTACH_SESSION:
            return attach(session, record);
        case RTP_CHANNEL_INFO:
            Device::put32(record + RtpChannel::tdm, open->port);
            Device::put32(record + RtpChannel::dev_no, (open->port - first_port) / channels_per_dsp);
            Device::put32(record + RtpChannel::chn, (open->port - first_port) % channels_per_dsp);
            return 0;
        case RTP_CLOSE_SESSION:
            end_session(*open);
            return 0;
        case RTP_PD_ENABLE:
            session.pd = true;
            session.pd_timeout = Device::get32(record);
            return 0;
        default:  // RTP_PD_DISABLE
            session.pd = false;
            return 0;
    }
}

int RtpModel::open_session(OpenFile& file, uint8_t const* record) {
    Open* open = find(file);
    if (open && open->has_session) return -EBUSY;
    namespace P = RtpConnection;
    Session s{};
    s.packet_factor = Device::get16(record + P::packet_factor);
    s.rx_pt = Device::get16(record + P::rx_pt);
    s.tx_pt = Device::get16(record + P::tx_pt);
    s.ssrc = Device::get32(record + P::ssrc);
    s.crate = Device::get32(record + P::crate);
    s.vad = Device::get32(record + P::vad);
    s.ttl = Device::get32(record + P::ttl);
    s.tos = Device::get32(record + P::tos);
    if (s.rx_pt > 255 || s.tx_pt > 255 || s.vad > 1 || s.ttl > 255 || s.tos > 255) return -EINVAL;
    s.selector = selector_of(s.tx_pt);
    if (!open) {
        uint32_t port = first_port;
        auto at = opens_.begin();
        for (; at != opens_.end() && at->port == port; ++at) ++port;
        if (port > last_port) return -ENOSPC;
        if (!voice_.take(s.selector)) return -ENOSPC;
        open = &*opens_.insert(at, Open{&file, port});
    } else if (!voice_.take(s.selector)) {
        return -ENOSPC;
    }
    open->has_session = true;
    open->session = s;
    return 0;
}

int RtpModel::attach(Session& session, uint8_t const* record) {
    if (session.attached) return -EBUSY;
    int32_t const fd = int32_t(Device::get32(record + RtpAttach::fd_rtp));
    int32_t const pid = int32_t(Device::get32(record + RtpAttach::pid_rtp));
    if (fd < 0 || pid <= 0) return -EINVAL;
    // The board sees the server's own descriptors; another process's it
    // takes on trust.
    struct stat st {};
    if (pid == ::getpid() && (::fstat(fd, &st) != 0 || !S_ISSOCK(st.st_mode))) return -EBADF;
    session.attached = true;
    session.fd = fd;
    session.pid = pid;
    return 0;
}

void RtpModel::end_session(Open& open) {
    if (!open.has_session) return;
    voice_.give(open.session.selector);
    open.has_session = false;
}

void RtpModel::closed(OpenFile& file) {
    Open* const open = find(file);
    if (!open) return;
    end_session(*open);
    opens_.erase(opens_.begin() + (open - opens_.data()));
}

RtpModel::Open* RtpModel::find(OpenFile const& file) {
    for (Open& open : opens_)
        if (open.file == &file) return &open;
    return nullptr;
}

RtpModel::Open* RtpModel::find(std::string const& port, std::ostream& out) {
    long number = 0;
    if (number_of(port, number))
        for (Open& open : opens_)
            if (open.port == uint32_t(number)) return &open;
    out << "error: no RTP session on port " << port << '\n';
    return nullptr;
}

void RtpModel::list(std::ostream& out) const {
    if (opens_.empty()) out << "no RTP sessions\n";
    for (Open const& open : opens_) {
        out << open.port << ' ' << open.file->label << '#' << open.file->serial << " dsp "
            << (open.port - first_port) / channels_per_dsp << " channel "
            << (open.port - first_port) % channels_per_dsp;
        if (!open.has_session) {
            out << ": no session\n";
            continue;
        }
        Session const& s = open.session;
        out << ": rx_pt " << s.rx_pt << " tx_pt " << s.tx_pt << " pfactor " << s.packet_factor
            << " ssrc " << s.ssrc << " crate " << s.crate << " vad " << s.vad << " ttl " << s.ttl
            << " tos " << s.tos;
        if (s.attached) out << " socket " << s.fd << " pid " << s.pid;
        if (s.pd) out << " pd " << s.pd_timeout;
        out << '\n';
    }
}

void RtpModel::inject(Words const& words, std::ostream& out) {
    Open* const open = find(words[2], out);
    if (!open) return;
    RtpEventRecord record;
    long v[3] = {};
    size_t const first = words[1] == "pd" ? 1 : 0;
    if (first) v[0] = RtpEvent::packet_detection;
    bool good = words.size() == 6 - first;
    for (size_t i = first; good && i < 3; ++i) good = number_of(words[3 + i - first], v[i]);
    if (!good) {
        out << "error: rtp " << words[1] << " wants PORT " << (first ? "" : "TYPE ")
            << "VALUE TIMEOUT\n";
        return;
    }
    record.put32(RtpEvent::type, uint32_t(v[0]));
    record.put32(RtpEvent::value, uint32_t(v[1]));
    record.put32(RtpEvent::timeout, uint32_t(v[2]));
    board().post(*open->file, record.data(), record.size);
}

void RtpModel::command(Words const& words, std::ostream& out) {
    std::string const verb = words.size() > 1 ? words[1] : "";
    long bytes = 0;
    if (words.size() == 1) {
        list(out);
    } else if (verb == "help" && words.size() == 2) {
        out << "rtp                                     every open of /dev/rtp with its session\n"
               "rtp pd PORT VALUE TIMEOUT               a packet-detection event of a session\n"
               "rtp event PORT TYPE VALUE TIMEOUT       an event record of any type\n"
               "rtp short PORT BYTES                    an event record cut to BYTES bytes\n"
               "rtp end PORT                            the open's reads give end of file\n";
    } else if ((verb == "pd" || verb == "event") && words.size() >= 3) {
        inject(words, out);
    } else if (verb == "short" && words.size() == 4) {
        Open* const open = find(words[2], out);
        if (!open) return;
        if (!number_of(words[3], bytes) || bytes < 0 || bytes >= long(RtpEventRecord::size)) {
            out << "error: rtp short wants 0 to " << RtpEventRecord::size - 1 << " bytes\n";
            return;
        }
        RtpEventRecord record{RtpEvent::packet_detection, 1, 1};
        board().post(*open->file, record.data(), size_t(bytes));
    } else if (verb == "end" && words.size() == 3) {
        if (Open* const open = find(words[2], out))
            ::shutdown(open->file->board_end.lowlevel_fd(), SHUT_WR);
    } else {
        out << "error: rtp wants nothing, pd, event, short or end (try rtp help)\n";
    }
}

}  // namespace SimBoard
