#include "hardware/simboard/rtp_ext_model.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "hardware/device/rtp_ext_driver.h"
#include "hardware/simboard/board.h"

namespace SimBoard {

namespace {

std::vector<Request> const rtp_ext_requests = {
    {Device::RTP_EXT_INIT, "RTP_EXT_INIT", Request::pointer, Device::RtpExtInitRecord::size},
    {Device::RTP_EXT_ATTACH, "RTP_EXT_ATTACH", Request::pointer, Device::RtpExtAttachRecord::size},
    {Device::RTP_EXT_START, "RTP_EXT_START", Request::value, 0},
    {Device::RTP_EXT_STOP, "RTP_EXT_STOP", Request::value, 0},
};

// Names of the record kinds, by kind; 0 for any other.
char const* const kind_names[] = {"other", "voice", "keepalive", "kvel", "failure"};

uint16_t kind_of(std::string const& name) {
    for (uint16_t kind = Device::RtpExtSignal::ed137_voice; kind < Device::RtpExtSignal::failure;
         ++kind)
        if (name == kind_names[kind]) return kind;
    return 0;
}

// Hex byte words from words[from] on; false when one is not a byte.
bool bytes_of(Words const& words, size_t from, std::vector<uint8_t>& bytes) {
    for (size_t i = from; i < words.size(); ++i) {
        char* end = nullptr;
        unsigned long const byte = std::strtoul(words[i].c_str(), &end, 16);
        if (words[i].empty() || *end != '\0' || byte > 0xFF || words[i][0] == '-') return false;
        bytes.push_back(uint8_t(byte));
    }
    return true;
}

}  // namespace

std::vector<Request> const& RtpExtModel::requests() const {
    return rtp_ext_requests;
}

int RtpExtModel::serve(OpenFile& file, Request const& request, uint8_t* record, unsigned long) {
    Session* session = find(file);
    if (request.number == Device::RTP_EXT_INIT) {
        if (session) return -EBUSY;
        uint16_t const etype = Device::get16(record + Device::RtpExtInit::etype);
        if (etype != Device::RtpExtInit::kvel && etype != Device::RtpExtInit::ed137) return -EINVAL;
        Session added;
        added.file = &file;
        added.etype = etype;
        sessions_.push_back(added);
        return 0;
    }
    if (!session) return -EINVAL;
    switch (request.number) {
        case Device::RTP_EXT_ATTACH:
            session->attached = true;
            session->fd_rtp = int32_t(Device::get32(record + Device::RtpAttach::fd_rtp));
            session->pid_rtp = int32_t(Device::get32(record + Device::RtpAttach::pid_rtp));
            return 0;
        case Device::RTP_EXT_START:
            session->started = true;
            return 0;
        default:  // RTP_EXT_STOP
            session->started = false;
            return 0;
    }
}

RtpExtModel::Session* RtpExtModel::find(OpenFile const& file) {
    for (Session& session : sessions_)
        if (session.file == &file) return &session;
    return nullptr;
}

RtpExtModel::Session* RtpExtModel::find(std::string const& word, std::ostream& out) {
    unsigned long serial = 0;
    if (NumberOf(word, serial))
        for (Session& session : sessions_)
            if (session.file->serial == serial) return &session;
    out << "error: no extended session " << word << '\n';
    return nullptr;
}

void RtpExtModel::closed(OpenFile& file) {
    sessions_.erase(std::remove_if(sessions_.begin(), sessions_.end(),
                                   [&file](Session const& s) { return s.file == &file; }),
                    sessions_.end());
}

void RtpExtModel::written(OpenFile& file, uint8_t const* data, size_t size) {
    Session* const session = find(file);
    if (!session) return;
    uint16_t kind = size >= Device::RtpExtSignal::header_size ? Device::RtpExtSignal::kindOf(data) : 0;
    if (kind >= Device::RtpExtSignal::failure || size < Device::RtpExtSignal::header_size ||
        Device::RtpExtSignal::lengthOf(data) != size - Device::RtpExtSignal::header_size)
        kind = 0;
    if (!session->started) {
        ++session->while_stopped;
    } else {
        ++session->sent[kind];
    }
    std::string line = kind_names[kind];
    if (!session->started) line += " (stopped)";
    size_t const skip = kind ? Device::RtpExtSignal::header_size : 0;
    line += ' ' + HexText(data + skip, size - skip);
    session->kept.push_back(line);
    if (session->kept.size() > kept_records) session->kept.pop_front();
}

void RtpExtModel::deliver(Session& session, std::vector<uint8_t> const& record, std::ostream& out) {
    if (!session.started) {
        out << "error: session " << session.file->serial << " is not started\n";
        return;
    }
    if (!board().post(*session.file, record.data(), record.size()))
        out << "error: session " << session.file->serial << " took no more records\n";
}

void RtpExtModel::list(std::ostream& out) const {
    for (Session const& s : sessions_) {
        out << s.file->serial << ' ' << (s.etype == Device::RtpExtInit::kvel ? "kvel" : "ed137");
        if (s.attached)
            out << " attached " << s.fd_rtp << '/' << s.pid_rtp;
        else
            out << " unattached";
        out << (s.started ? " started" : " stopped") << ", sent voice "
            << s.sent[Device::RtpExtSignal::ed137_voice] << " keepalive "
            << s.sent[Device::RtpExtSignal::ed137_keepalive] << " kvel "
            << s.sent[Device::RtpExtSignal::kvel] << " other " << s.sent[0] << ", while stopped "
            << s.while_stopped << '\n';
    }
}

void RtpExtModel::command(Words const& words, std::ostream& out) {
    std::string const verb = words.size() > 1 ? words[1] : "";
    std::vector<uint8_t> bytes;
    if (words.size() == 1) {
        list(out);
    } else if (verb == "help" && words.size() == 2) {
        out << "rtpext                                  every extended session and what it sent\n"
               "rtpext written SESSION [KIND]           the records the server wrote\n"
               "rtpext clear SESSION                    forget the kept records\n"
               "rtpext receive SESSION KIND BYTES...    a received voice, keepalive or kvel "
               "record\n"
               "rtpext raw SESSION BYTES...             a received record of exactly these bytes\n"
               "rtpext fail SESSION CAUSE               the radio fails with the cause\n";
    } else if (verb == "written" && (words.size() == 3 || words.size() == 4)) {
        Session const* const session = find(words[2], out);
        if (!session) return;
        std::string const only = words.size() == 4 ? words[3] + " " : "";
        for (std::string const& line : session->kept)
            if (line.compare(0, only.size(), only) == 0) out << line << '\n';
    } else if (verb == "clear" && words.size() == 3) {
        if (Session* const session = find(words[2], out)) session->kept.clear();
    } else if (verb == "receive" && words.size() >= 4) {
        Session* const session = find(words[2], out);
        if (!session) return;
        uint16_t const kind = kind_of(words[3]);
        bytes.resize(Device::RtpExtSignal::header_size);
        if (kind == 0 || !bytes_of(words, 4, bytes) ||
            bytes.size() > Device::RtpExtSignal::max_record) {
            out << "error: rtpext receive wants voice, keepalive or kvel and at most "
                << Device::RtpExtSignal::max_data << " hex bytes\n";
            return;
        }
        Device::RtpExtSignal::putHeader(bytes.data(), kind,
                                        uint16_t(bytes.size() - Device::RtpExtSignal::header_size));
        deliver(*session, bytes, out);
    } else if (verb == "raw" && words.size() >= 3) {
        Session* const session = find(words[2], out);
        if (!session) return;
        if (!bytes_of(words, 3, bytes) || bytes.size() > Device::RtpExtSignal::max_record) {
            out << "error: rtpext raw wants at most " << Device::RtpExtSignal::max_record
                << " hex bytes\n";
            return;
        }
        deliver(*session, bytes, out);
    } else if (verb == "fail" && words.size() == 4) {
        Session* const session = find(words[2], out);
        unsigned long cause = 0;
        if (!session) return;
        if (!NumberOf(words[3], cause) || cause > UINT32_MAX) {
            out << "error: rtpext fail wants a cause of 0 to " << UINT32_MAX << '\n';
            return;
        }
        bytes.resize(Device::RtpExtSignal::header_size + 4);
        Device::RtpExtSignal::putHeader(bytes.data(), Device::RtpExtSignal::failure, 4);
        Device::put32(bytes.data() + Device::RtpExtSignal::header_size, uint32_t(cause));
        deliver(*session, bytes, out);
    } else {
        out << "error: rtpext wants nothing, written, clear, receive, raw or fail "
               "(try rtpext help)\n";
    }
}

}  // namespace SimBoard
