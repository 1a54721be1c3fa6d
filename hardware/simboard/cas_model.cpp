#include "hardware/simboard/cas_model.h"

#include "hardware/device/e1_cas_driver.h"
#include "hardware/simboard/board.h"

namespace SimBoard {

namespace {

std::vector<Request> const cas_requests = {
    {Device::CAS_OPEN, "CAS_OPEN", Request::value, 0},
    {Device::CAS_CLOSE, "CAS_CLOSE", Request::value, 0},
    {Device::CAS_GET, "CAS_GET", Request::pointer, Device::CasChannelRecord::size},
    {Device::CAS_CONFIGURE, "CAS_CONFIGURE", Request::pointer, Device::CasConfigureRecord::size},
};

}  // namespace

std::vector<Request> const& CasModel::requests() const {
    return cas_requests;
}

int CasModel::serve(OpenFile&, Request const& request, uint8_t* record, unsigned long value) {
    switch (request.number) {
        case Device::CAS_OPEN:
        case Device::CAS_CLOSE:
            if (value >= trunks) return -EINVAL;
            open_[value] = request.number == Device::CAS_OPEN;
            if (!open_[value])
                for (Channel& c : channel_[value]) c.taken = false, c.tx = 0;
            return 0;
        case Device::CAS_CONFIGURE:
            return configure(record);
        default: {  // CAS_GET
            uint32_t const trunk = Device::get32(record + Device::CasChannel::trunk);
            uint32_t const timeslot = Device::get32(record + Device::CasChannel::timeslot);
            if (trunk >= trunks || timeslot >= timeslots) return -EINVAL;
            record[Device::CasChannel::rx] = channel_[trunk][timeslot].rx;
            record[Device::CasChannel::tx] = channel_[trunk][timeslot].tx;
            return 0;
        }
    }
}

int CasModel::configure(uint8_t const* record) {
    uint32_t const trunk = Device::get32(record + Device::CasConfigure::trunk);
    uint32_t const timeslot = Device::get32(record + Device::CasConfigure::timeslot);
    uint32_t const release = Device::get32(record + Device::CasConfigure::release);
    if (trunk >= trunks || timeslot >= timeslots || timeslot == 0 || timeslot == 16 ||
        release > 1 || !open_[trunk])
        return -EINVAL;
    Channel& c = channel_[trunk][timeslot];
    c.taken = release == 0;
    c.tx = c.taken ? record[Device::CasConfigure::tx] & 15 : 0;
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
    Device::CasChannelRecord event{trunk, timeslot};
    event[Device::CasChannel::rx] = c.rx;
    event[Device::CasChannel::tx] = c.tx;
    size_t sent = 0;
    for (OpenFile* file : board().opens(path()))
        sent += board().post(*file, event.data(), event.size);
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
