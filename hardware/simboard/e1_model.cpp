#include "hardware/simboard/e1_model.h"

#include "hardware/device/maintenance_driver.h"

namespace SimBoard {

namespace {

std::vector<Request> const e1_requests = {
    {Device::MAINT_E1_STATUS, "MAINT_E1_STATUS", Request::pointer, Device::E1StatusRecord::size},
    {Device::MAINT_SET_TCLK, "MAINT_SET_TCLK", Request::value, 0},
};

char const* const field_names[] = {"state", "slips", "lossBF", "lossCarrier", "lossAIS", "lossRAI"};
// Where each field stands in the 80-byte status record.
size_t const field_offsets[] = {Device::E1Status::state,    Device::E1Status::slips,
                                Device::E1Status::loss_bf,  Device::E1Status::loss_carrier,
                                Device::E1Status::loss_ais, Device::E1Status::loss_rai};
char const* const state_names[] = {"normal", "lossBF",  "lossCarrier", "ais",
                                   "rai",    "unknown", "disabled"};

}  // namespace

std::vector<Request> const& E1Model::requests() const {
    return e1_requests;
}

int E1Model::serve(OpenFile&, Request const& request, uint8_t* record, unsigned long value) {
    if (request.number == Device::MAINT_SET_TCLK) {
        tclk_ = uint32_t(value);
        return 0;
    }
    uint32_t const trunk = Device::get32(record + Device::E1Status::trunk);
    if (trunk >= trunks) return -EINVAL;
    for (int f = 0; f < fields; ++f) Device::put32(record + field_offsets[f], trunk_[trunk][f]);
    return 0;
}

bool E1Model::set(Words const& words) {
    unsigned long trunk = 0, value = 0;
    if (!NumberOf(words[1], trunk) || trunk >= trunks) return false;
    for (int f = 0; f < fields; ++f) {
        if (words[2] != field_names[f]) continue;
        bool known = NumberOf(words[3], value) && value <= UINT32_MAX;
        for (uint32_t s = 0; f == 0 && !known && s < 7; ++s)
            if (words[3] == state_names[s]) {
                value = s;
                known = true;
            }
        if (known) trunk_[trunk][f] = uint32_t(value);
        return known;
    }
    return false;
}

void E1Model::command(Words const& words, std::ostream& out) {
    if (words.size() == 1) {
        for (uint32_t t = 0; t < trunks; ++t) {
            uint32_t const state = trunk_[t][0];
            out << "trunk " << t << ' ' << (state < 7 ? state_names[state] : "state");
            if (state >= 7) out << ' ' << state;
            for (int f = 1; f < fields; ++f) out << ' ' << field_names[f] << ' ' << trunk_[t][f];
            out << '\n';
        }
        out << "tclk 0x" << std::hex << tclk_ << std::dec << '\n';
    } else if (words.size() == 2 && words[1] == "help") {
        out << "e1                                      the E1 trunks and the TCLK mask\n"
               "e1 TRUNK state|slips|lossBF|lossCarrier|lossAIS|lossRAI VALUE\n"
               "                                        sets a trunk's state or a counter\n";
    } else if (words.size() != 4 || !set(words)) {
        out << "error: e1 wants nothing, or TRUNK (0 to 3), a field (state, slips, lossBF, "
               "lossCarrier, lossAIS, lossRAI) and a value\n";
    }
}

}  // namespace SimBoard
