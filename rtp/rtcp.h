#pragma once
// RTCP of one RTP stream as this gateway reports it: a participant that
// announces itself when its stream starts and says goodbye when it ends.
// Both are compound packets in the RTP control protocol's form: an empty
// receiver report first, then the source description with the stream's
// SSRC and canonical name, and for the goodbye a BYE of that SSRC last.
//
// RtcpReporter is the protocol without a socket: the RTP slot asks it for
// the packets and sends them on the stream's control socket.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace Rtcp {

using Packet = std::vector<uint8_t>;

enum PacketType : uint8_t {
    sender_report = 200,
    receiver_report = 201,
    source_description = 202,
    bye = 203,
};

enum SdesItem : uint8_t {
    sdes_end = 0,
    sdes_cname = 1,
};

// The longest text of an SDES item.
constexpr size_t max_item = 255;

// Each appends one packet to `out`.
// A receiver report of the SSRC with no report blocks.
void AppendReceiverReport(Packet& out, uint32_t ssrc);
// A source description of one chunk: the SSRC's CNAME (cut to max_item
// octets), the list ended and padded to a 32-bit boundary.
void AppendSdes(Packet& out, uint32_t ssrc, std::string const& cname);
// A BYE of the SSRC, without reason.
void AppendBye(Packet& out, uint32_t ssrc);

class RtcpReporter {
public:
    enum class State { idle, started, ended };

    RtcpReporter(uint32_t ssrc, std::string cname) : ssrc_(ssrc), cname_(std::move(cname)) {}

    // The announcement of a stream that starts: RR, SDES.
    Packet Start();
    // The goodbye of a started stream: RR, SDES, BYE; empty when the stream
    // never started or has ended already.
    Packet End();

    State state() const { return state_; }
    uint32_t ssrc() const { return ssrc_; }
    std::string const& cname() const { return cname_; }
    // "rtcp ssrc 0x12345678 cname 10.0.0.1 started"
    void Put(std::ostream& os) const;

private:
    uint32_t ssrc_;
    std::string cname_;
    State state_ = State::idle;
};

}  // namespace Rtcp
