#pragma once
// The MCC of /dev/mcc/ctl: every open may become one channel. MCC_ALLOCATE
// takes the channel record {mode, receive packet size, reserved, receive
// threshold, transmit threshold}; mode 0 (data) and 3 (SS7) take a data
// channel, 1 a BRI and 2 a transparent one, and a kind with none free is
// refused with ENOSPC. A channel gets the lowest free switch channel from
// 1024 on, which MCC_TIMESLOT answers; MCC_RESOURCES reports the free
// channels of each kind (32 data, 16 BRI and 32 transparent on a board
// without a description). The channel is released when the last descriptor
// of its open closes.
//
// The line side is the board tool's: it sends bytes into a channel, which
// the channel delivers in records of at most its receive packet size, and
// shows what the server wrote to it. A line may also have a far end: two
// channels joined back to back (each record the server writes to one is
// read from the other), or a peer program on the channel's line socket
// /simboard/mcc-<channel>.sock under MOBREL_ROOT, a Unix sequenced-packet
// socket on which each packet is one record each way. Records written while
// the line has no peer are lost there, as on a line with nothing at its end.
// Releasing a channel parts its join and removes its socket.
//
// A far end's record is one frame, taken whole or not at all: an empty one
// (the HDLC controller receives no frame without octets) or one longer than
// the channel's receive packet size is refused, and one the server has no
// room for is lost. The line socket is read a bounded batch of records per
// loop pass, so that a far end sending as fast as it can shares the loop
// with the rest. Each kind of loss gets one line on the error stream per
// streak of losses, and the streak's count is written once a second has
// passed without one.
//
// Board-tool commands:
//   mcc                       the free counts, then every channel
//   mcc count DATA BRI TRANS  how many channels of each kind the MCC has
//   mcc send CHANNEL BYTES [, BYTES]...
//                             line bytes into the channel: hex bytes, "55*300"
//                             for 300 of them; each group arrives on its own
//   mcc written CHANNEL       the bytes the server wrote, in hex
//   mcc end CHANNEL           the line ends: the channel's reads give 0 from
//                             now on
//   mcc join CHANNEL CHANNEL  the two channels' lines back to back
//   mcc part CHANNEL          the channel's line leaves its join
//   mcc line CHANNEL          opens the channel's line socket; its path

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hardware/simboard/model.h"

namespace SimBoard {

class MccModel : public Model {
public:
    static constexpr uint32_t first_channel = 1024;
    static constexpr uint32_t max_per_kind = 128;
    static constexpr size_t max_packet = 65536;
    // The written bytes that are kept for `mcc written`; older ones go.
    static constexpr size_t kept_written = 65536;

    explicit MccModel(Board& board);
    ~MccModel() override;

    char const* name() const override { return "mcc"; }
    char const* path() const override { return "/dev/mcc/ctl"; }
    std::vector<Request> const& requests() const override;
    int serve(OpenFile& file, Request const& request, uint8_t* record,
              unsigned long value) override;
    void command(Words const& words, std::ostream& out) override;
    void closed(OpenFile& file) override;
    void written(OpenFile& file, uint8_t const* data, size_t size) override;

    // The records of the line socket read in one loop pass.
    static constexpr int records_per_pass = 64;

private:
    enum Kind { data, bri, transparent, kinds };

    // The records a line loses, said once per streak and kind of loss.
    class Losses {
    public:
        enum Why { empty, too_large, no_room, whys };
        // The records of channel `number` each way ("from" or "to" the line).
        Losses(uint32_t number, char const* way) : number_(number), way_(way) {}
        // One more lost, of `size` octets; a line the first time in the
        // streak for this reason (`largest`: the channel's frame size).
        void lost(Why why, size_t size, size_t largest);
        // One more taken; ends the streak, with its count, once a second
        // has passed since the last loss.
        void taken();

    private:
        // "MCC channel 1024, from the line"
        void PutWhere(std::ostream& os) const;

        uint32_t number_;
        char const* way_;
        uint64_t count_ = 0;
        bool said_[whys] = {};
        int64_t last_ms_ = 0;
    };

    struct Channel {
        OpenFile* file;
        uint32_t number;
        Kind kind;
        uint32_t record[5];
        uint64_t in = 0;
        uint64_t out = 0;
        std::string written;  // the last kept_written bytes
        bool ended = false;
        uint32_t joined = 0;  // the channel back to back with this one
        Losses losses{0, ""};  // of the records from its far end
    };
    class Line;

    int allocate(OpenFile& file, uint8_t const* record);
    Channel* find(OpenFile const& file);
    // The channel a command names, or null with an error line.
    Channel* find(std::string const& word, std::ostream& out);
    uint32_t used(Kind kind) const;
    Channel* find(uint32_t number);
    void send(Channel& channel, Words const& words, std::ostream& out);
    // Line bytes into the channel in records of at most its receive packet
    // size; false, with a line, when the channel does not take them.
    bool deliver(Channel& channel, uint8_t const* bytes, size_t size, std::ostream& out);
    void join(Words const& words, std::ostream& out);
    void open_line(Channel& channel, std::ostream& out);
    // A frame from the far end of a channel's line (the peer program, or
    // the channel joined to it), as one record or none.
    void from_line(uint32_t number, uint8_t const* bytes, size_t size);
    void list(std::ostream& out) const;

    uint32_t total_[kinds] = {32, 16, 32};
    std::vector<Channel> channels_;  // by switch channel
    std::map<uint32_t, std::unique_ptr<Line>> lines_;  // by switch channel
};

}  // namespace SimBoard
