#include "hardware/simboard/cas_model.h"

#include "hardware/device/record.h"
#include "hardware/simboard/board.h"

namespace SimBoard {

namespace {

enum : uint32_t {
    CAS_OPEN = 0x80044300,
    CAS_CLOSE = 0x80044301,
    CAS_GET = 0xC00C4303,
    CAS_CONFIGURE = 0xC0104304,
};

std::vector<Request> const cas_requests = {
    {CAS_OPEN, "CAS_OPEN", Request::value, 0},
    {CAS_CLOSE, "CAS_CLOSE", Request::value, 0},
    {CAS_GET, "CAS_GET", Request::pointer, 12},
    {CAS_CONFIGURE, "CAS_CONFIGURE", Request::pointer, 16},
};

}  // namespace

std::vector<Request> const& CasModel::requests() const {
    return cas_requests;
}

int CasModel::serve(OpenFile&, Request const& request, uint8_t* record, unsigned long value) {
    switch (request.number) {
        case CAS_OPEN:
        case CAS_CLOSE:
            if (value >= trunks) return -EINVAL;
            open_[value] = request.number == CAS_OPEN;
            if (!open_[value])
                for (Channel& c : channel_[value]) c.taken = false, c.tx = 0;
            return 0;
        case CAS_CONFIGURE:
            return configure(record);
        default: {  // CAS_GET
            uint32_t const trunk = Device::get32(record);
            uint32_t const timeslot = Device::get32(record + 4);
            if (trunk >= trunks || timeslot >= timeslots) return -EINVAL;
            record[8] = channel_[trunk][timeslot].rx;
            record[9] = channel_[trunk][timeslot].tx;
            return 0;
        }
    }
}

int CasModel::configure(uint8_t const* record) {
    uint32_t const trunk = Device::get32(record);
    uint32_t const timeslot = Device::get32(record + 4);
    uint32_t const release = Device::get32(record + 12);
    if (trunk >= trunks || timeslot >= timeslots || timeslot == 0 || timeslot == 16 ||
        release > 1 || !open_[trunk])
        return -EINVAL;
    Channel& c = channel_[trunk][timeslot];
    c.taken = release == 0;
    c.tx = c.taken ? record[9] & 15 : 0;
    return 0;
}

void CasModel::line_change(uint32_t trunk, uint32_t timeslot, uint8_t rx, std::ostream& out) {
    Channel& c = channel_[trunk][timeslot];
    c.rx = rx;
    out << trunk << '/' << timeslot << " rx 0x" << std::hex << int(rx) << std::dec;
    if (!c.taken) {
        out << ", not taken\n";
        return;
    }
    Device::Record<12> event{trunk, timeslot};
    event[8] = c.rx;
    event[9] = c.tx;
    size_t sent = 0;
    for (OpenFile* file : board().opens(path())) sent += board().post(*file, event.data(), 12);
    out << ", reported to " << sent << " open(s)\n";
}

void CasModel::command(Words const& words, std::ostream& out) {
    unsigned long trunk = 0, timeslot = 0, rx = 0;
    if (words.size() == 1) {
        for (uint32_t t = 0; t < trunks; ++t) {
            if (open_[t]) out << "trunk " << t << " open\n";
            for (uint32_t s = 0; s < timeslots; ++s) {
                Channel const& c = channel_[t][s];
                if (!c.taken && !c.rx) continue;
                out << t << '/' << s << (c.taken ? " taken" : "") << " rx 0x" << std::hex
                    << int(c.rx) << " tx 0x" << int(c.tx) << std::dec << '\n';
            }
        }
    } else if (words.size() == 2 && words[1] == "help") {
        out << "cas                                     trunks with CAS open, channels taken\n"
               "cas TRUNK TIMESLOT RX                   the line's ABCD bits change\n";
    } else if (words.size() == 4 && NumberOf(words[1], trunk) && trunk < trunks &&
               NumberOf(words[2], timeslot) && timeslot < timeslots && NumberOf(words[3], rx) &&
               rx <= 15) {
        line_change(uint32_t(trunk), uint32_t(timeslot), uint8_t(rx), out);
    } else {
        out << "error: cas wants nothing, or TRUNK (0 to 3) TIMESLOT (0 to 31) RX (0 to 15)\n";
    }
}

}  // namespace SimBoard
