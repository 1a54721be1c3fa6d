#include "hardware/simboard/mixer_model.h"

#include <algorithm>
#include <cerrno>

#include "hardware/device/mixer_driver.h"
#include "hardware/simboard/event_words.h"

namespace SimBoard {

namespace {

std::vector<Request> const mixer_requests = {
    {Device::MIX_RX_CLEAR, "MIX_RX_CLEAR", Request::pointer, Device::MixChannelRecord::size},
    {Device::MIX_RX_ADD, "MIX_RX_ADD", Request::pointer, Device::MixRxRecord::size},
    {Device::MIX_RX_REMOVE, "MIX_RX_REMOVE", Request::pointer, Device::MixRxRecord::size},
    {Device::MIX_TDM, "MIX_TDM", Request::pointer, Device::MixChannelRecord::size},
    {Device::MIX_RESOURCES, "MIX_RESOURCES", Request::pointer, Device::MixResourcesRecord::size},
};

}  // namespace

MixerModel::MixerModel(Board& board) : Model(board) {
    units_.push_back(Unit{0, 32, 32, 1024, std::vector<std::vector<std::pair<int, int32_t>>>(32)});
}

std::vector<Request> const& MixerModel::requests() const {
    return mixer_requests;
}

MixerModel::Unit* MixerModel::unit(int number) {
    for (Unit& u : units_)
        if (u.number == number) return &u;
    return nullptr;
}

int MixerModel::channel_of(uint8_t const* record, Unit*& found, int& channel) {
    found = unit(int32_t(Device::get32(record + Device::MixChannel::unit)));
    if (!found) return -ENODEV;
    channel = int32_t(Device::get32(record + Device::MixChannel::channel));
    if (Device::get32(record + Device::MixChannel::type) != 0 || channel < 0 ||
        channel >= found->channels)
        return -EINVAL;
    return 0;
}

int MixerModel::add(uint8_t* record, bool remove) {
    Unit* rx_unit = nullptr;
    Unit* tx_unit = nullptr;
    int rx = 0, tx = 0;
    if (int const error = channel_of(record + Device::MixRx::rx, rx_unit, rx)) return error;
    if (int const error = channel_of(record + Device::MixRx::tx, tx_unit, tx)) return error;
    if (rx_unit != tx_unit) return -EINVAL;
    auto& sum = rx_unit->sums[size_t(rx)];
    auto const it =
        std::find_if(sum.begin(), sum.end(), [&](auto const& c) { return c.first == tx; });
    if (remove) {
        if (it == sum.end()) return -ENOENT;
        sum.erase(it);
        return 0;
    }
    int32_t const gain = int32_t(Device::get32(record + Device::MixRx::gain));
    if (it != sum.end())
        it->second = gain;
    else
        sum.emplace_back(tx, gain);
    return 0;
}

int MixerModel::resources(uint8_t* record) {
    int32_t const after = int32_t(Device::get32(record + Device::MixResources::unit));
    for (Unit const& u : units_) {
        if (u.number <= after) continue;
        Device::put32(record + Device::MixResources::unit, uint32_t(u.number));
        Device::put32(record + Device::MixResources::channels, uint32_t(u.channels));
        Device::put32(record + Device::MixResources::reserved, 0);
        Device::put32(record + Device::MixResources::inputs, uint32_t(u.inputs));
        return 0;
    }
    return -ENODEV;
}

int MixerModel::serve(OpenFile&, Request const& request, uint8_t* record, unsigned long) {
    Unit* u = nullptr;
    int channel = 0;
    switch (request.number) {
        case Device::MIX_RX_CLEAR:
            if (int const error = channel_of(record, u, channel)) return error;
            u->sums[size_t(channel)].clear();
            return 0;
        case Device::MIX_RX_ADD:
            return add(record, false);
        case Device::MIX_RX_REMOVE:
            return add(record, true);
        case Device::MIX_TDM:
            if (int const error = channel_of(record, u, channel)) return error;
            return u->first_timeslot + channel;
        default:
            return resources(record);  // MIX_RESOURCES
    }
}

void MixerModel::add_unit(Words const& words, std::ostream& out) {
    long v[4] = {};
    bool good = words.size() == 6;
    for (size_t i = 0; good && i < 4; ++i) good = number_of(words[2 + i], v[i]);
    if (!good || v[0] < 0 || v[0] > 0x7FFFFFFF || v[1] < 1 || v[1] > max_channels || v[2] < 0 ||
        v[2] > 0x7FFFFFFF || v[3] < 0 || v[3] + v[1] > first_bus_output) {
        out << "error: mixer add wants UNIT CHANNELS INPUTS TIMESLOT, with 1 to " << max_channels
            << " channels on timeslots below " << first_bus_output << '\n';
        return;
    }
    if (unit(int(v[0]))) {
        out << "error: the board has mixer unit " << v[0] << " already\n";
        return;
    }
    Unit added{int(v[0]), int(v[1]), int(v[2]), int(v[3]),
               std::vector<std::vector<std::pair<int, int32_t>>>(size_t(v[1]))};
    auto const at = std::find_if(units_.begin(), units_.end(),
                                 [&](Unit const& u) { return u.number > added.number; });
    units_.insert(at, std::move(added));
}

void MixerModel::command(Words const& words, std::ostream& out) {
    long number = 0;
    if (words.size() == 2 && words[1] == "help") {
        out << "mixer [UNIT]                            the mixer units, or the sums of one\n"
               "mixer add UNIT CHANNELS INPUTS TIMESLOT a mixer unit\n"
               "mixer remove UNIT                       a mixer unit disappears\n";
    } else if (words.size() == 1) {
        if (units_.empty()) out << "no mixer units\n";
        for (Unit const& u : units_)
            out << "unit " << u.number << ": channels " << u.channels << ", mixer inputs "
                << u.inputs << ", timeslots " << u.first_timeslot << '-'
                << u.first_timeslot + u.channels - 1 << '\n';
    } else if (words.size() == 2 && number_of(words[1], number) && unit(int(number))) {
        Unit const& u = *unit(int(number));
        bool any = false;
        for (size_t ch = 0; ch < u.sums.size(); ++ch) {
            if (u.sums[ch].empty()) continue;
            any = true;
            out << ch << " <-";
            for (auto const& [tx, gain] : u.sums[ch]) out << ' ' << tx << 'x' << gain;
            out << '\n';
        }
        if (!any) out << "no sums\n";
    } else if (words.size() >= 2 && words[1] == "add") {
        add_unit(words, out);
    } else if (words.size() == 3 && words[1] == "remove" && number_of(words[2], number) &&
               unit(int(number))) {
        units_.erase(std::find_if(units_.begin(), units_.end(),
                                  [&](Unit const& u) { return u.number == number; }));
    } else {
        out << "error: mixer wants nothing, a unit of the board, add or remove (try mixer help)\n";
    }
}

}  // namespace SimBoard
