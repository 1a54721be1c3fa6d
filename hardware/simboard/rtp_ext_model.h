#pragma once
// The extended RTP driver of /dev/rtp_ext (hardware/device/rtp_ext_driver.h):
// every open is one extended session. RTP_EXT_INIT gives it its kind once
// (EBUSY a second time, EINVAL for an unknown kind); RTP_EXT_ATTACH,
// RTP_EXT_START and RTP_EXT_STOP need an initialised session (EINVAL).
// What the server writes is the signalling it transmits: the model keeps the
// last records of each session and counts them by kind, apart from those
// written while the stream is stopped, which the radio never sees.
//
// The radio side is the board tool's: it delivers received signalling to a
// started session as the driver would, and a radio failure.
//
// Board-tool commands (SESSION is the open's number, as in the log):
//   rtpext                          every session: kind, attachment, state,
//                                   counts of what the server sent
//   rtpext written SESSION [KIND]   the kept records the server wrote, one a
//                                   line: the kind and the data in hex
//   rtpext clear SESSION            forget the kept records
//   rtpext receive SESSION KIND BYTES...
//                                   a received record of kind voice,
//                                   keepalive or kvel with the hex data bytes
//   rtpext raw SESSION BYTES...     a received record of exactly these bytes,
//                                   header included
//   rtpext fail SESSION CAUSE       the radio fails with the cause

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "hardware/simboard/model.h"

namespace SimBoard {

class RtpExtModel : public Model {
public:
    // Records kept per session for `rtpext written`; older ones go.
    static constexpr size_t kept_records = 256;

    explicit RtpExtModel(Board& board) : Model(board) {}

    char const* name() const override { return "rtpext"; }
    char const* path() const override { return "/dev/rtp_ext"; }
    std::vector<Request> const& requests() const override;
    int serve(OpenFile& file, Request const& request, uint8_t* record,
              unsigned long value) override;
    void command(Words const& words, std::ostream& out) override;
    void closed(OpenFile& file) override;
    void written(OpenFile& file, uint8_t const* data, size_t size) override;

private:
    struct Session {
        OpenFile* file = nullptr;
        uint16_t etype = 0;  // 0 until initialised
        bool attached = false;
        int32_t fd_rtp = 0;
        int32_t pid_rtp = 0;
        bool started = false;
        uint64_t sent[5] = {};  // by kind; [0] records of no known kind
        uint64_t while_stopped = 0;
        std::deque<std::string> kept;  // "keepalive 01 67 ..."
    };

    Session* find(OpenFile const& file);
    Session* find(std::string const& word, std::ostream& out);
    void deliver(Session& session, std::vector<uint8_t> const& record, std::ostream& out);
    void list(std::ostream& out) const;

    std::vector<Session> sessions_;
};

}  // namespace SimBoard
