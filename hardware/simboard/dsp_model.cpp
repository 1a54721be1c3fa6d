#include "hardware/simboard/dsp_model.h"

#include <cerrno>
#include <cstring>

#include "hardware/device/dsp_driver.h"
#include "hardware/simboard/event_words.h"

namespace SimBoard {

namespace {

std::vector<Request> const dsp_requests = {
    {Device::DSPROC_CONFIGURE, "DSPROC_CONFIGURE", Request::pointer,
     Device::DsprocConfigureRecord::size},
    {Device::DSPROC_ENABLE, "DSPROC_ENABLE", Request::pointer, Device::DsprocEnableRecord::size},
    {Device::DSPROC_DISABLE, "DSPROC_DISABLE", Request::pointer, Device::DsprocEnableRecord::size},
    {Device::DSPROC_VERSION, "DSPROC_VERSION", Request::value, 0},
};

using namespace Device::Dsproc;

constexpr size_t event_size = Device::DsprocEventRecord::size;

char const* on_off(bool on) {
    return on ? "on" : "off";
}

}  // namespace

std::vector<Request> const& DspModel::requests() const {
    return dsp_requests;
}

DspModel::Timeslot const& DspModel::state(uint32_t timeslot) const {
    static Timeslot const unused;
    auto const it = timeslots_.find(timeslot);
    return it == timeslots_.end() ? unused : it->second;
}

DspModel::Feature* DspModel::feature_of(Timeslot& t, uint32_t type) {
    switch (type) {
        case vad:
            return &t.vad;
        case sd:
            return &t.sd;
        case bss:
            return &t.bss;
        case ng:
            return &t.ng;
        default:
            return nullptr;
    }
}

int DspModel::configure(Timeslot& t, uint32_t type, uint8_t const* record) {
    switch (type) {
        case vad:
            t.vad_configured = true;
            t.vad_v2 = version_ == 2;
            if (t.vad_v2) {
                t.vad_config[0] = Device::get16(record + Device::DsprocConfigure::vad_voice_ms);
                t.vad_config[1] = Device::get16(record + Device::DsprocConfigure::vad_silence_ms);
                t.vad_config[2] = int8_t(record[Device::DsprocConfigure::vad_energy_dB]);
            } else {
                for (size_t i = 0; i < Device::DsprocConfigure::vad_words; ++i)
                    t.vad_config[i] =
                        int32_t(Device::get32(record + Device::DsprocConfigure::settings + 4 * i));
            }
            return 0;
        case sd:
            t.sd_configured = true;
            return 0;
        case delays:
            t.delays[0] = Device::get32(record + Device::DsprocConfigure::delay_rx);
            t.delays[1] = Device::get32(record + Device::DsprocConfigure::delay_tx);
            t.delays[2] = Device::get32(record + Device::DsprocConfigure::delay_selcal);
            return 0;
        case rx_gain:
            t.gain_dB = int8_t(record[Device::DsprocConfigure::gain_dB]);
            return 0;
        case tone_filter:
            t.filters[Device::get16(record + Device::DsprocConfigure::filter_frequency)] =
                Filter{record[Device::DsprocConfigure::filter_enable],
                       Device::get16(record + Device::DsprocConfigure::filter_duration_ms),
                       int8_t(record[Device::DsprocConfigure::filter_level_dB])};
            return 0;
        default:
            return -EINVAL;
    }
}

int DspModel::serve(OpenFile&, Request const& request, uint8_t* record, unsigned long) {
    if (request.number == Device::DSPROC_VERSION) return version_;
    // Both records start with the timeslot.
    uint32_t const timeslot = Device::get32(record + Device::DsprocEnable::timeslot);
    if (timeslot >= timeslots) return -EINVAL;
    Timeslot& t = timeslots_[timeslot];
    if (request.number == Device::DSPROC_CONFIGURE)
        return configure(t, Device::get32(record + Device::DsprocConfigure::type), record);
    uint32_t const type = Device::get32(record + Device::DsprocEnable::type);

    bool const on = request.number == Device::DSPROC_ENABLE;
    uint32_t const id = Device::get32(record + Device::DsprocEnable::id);
    if (Feature* const feature = feature_of(t, type)) {
        feature->on = on;
        if (on) feature->id = id;
    } else if (type != 0 && (type & ~uint32_t(mute_rx | mute_tx)) == 0) {
        if (on) {
            t.mute_rx = type & mute_rx;
            t.mute_tx = type & mute_tx;
            t.mute_id = id;
        } else {
            if (type & mute_rx) t.mute_rx = false;
            if (type & mute_tx) t.mute_tx = false;
        }
    } else if (type == tone_filter && !on) {
        t.filters.clear();
    } else {
        return -EINVAL;
    }
    return 0;
}

void DspModel::print(std::ostream& out, uint32_t timeslot, Timeslot const& t) const {
    out << timeslot;
    auto feature = [&](char const* name, Feature const& f) {
        out << ' ' << name << ' ' << on_off(f.on) << ' ' << f.id;
    };
    feature("vad", t.vad);
    feature("sd", t.sd);
    feature("bss", t.bss);
    feature("ng", t.ng);
    out << " mute "
        << (t.mute_rx && t.mute_tx ? "rx+tx"
            : t.mute_rx            ? "rx"
            : t.mute_tx            ? "tx"
                                   : "off")
        << " delays " << t.delays[0] << ' ' << t.delays[1] << ' ' << t.delays[2] << " gain "
        << int(t.gain_dB);
    if (t.vad_configured)
        out << " vad-config" << (t.vad_v2 ? " v2 " : " ") << t.vad_config[0] << ' '
            << t.vad_config[1] << ' ' << t.vad_config[2];
    if (t.sd_configured) out << " sd-config";
    for (auto const& [freq, f] : t.filters)
        out << " filter " << freq << ' ' << f.enable << ' ' << f.duration_ms << ' ' << f.level_dB;
    out << '\n';
}

namespace {

// One value of an injected record: a number, a float score for bss, or "-"
// for a direction a VAD record does not report.
bool value_of(std::string const& kind, std::string const& word, uint32_t& value, bool& reported) {
    long number = 0;
    if (kind == "vad" && word == "-") {
        reported = false;
        return true;
    }
    if (kind == "bss") {
        char* end = nullptr;
        float const score = std::strtof(word.c_str(), &end);
        std::memcpy(&value, &score, sizeof(value));
        return !word.empty() && *end == '\0';
    }
    if (!number_of(word, number)) return false;
    value = uint32_t(number);
    return true;
}

}  // namespace

void DspModel::inject(Words const& words, std::ostream& out) {
    std::string const& kind = words[1];
    size_t const values = kind == "vad" || kind == "tone" || kind == "flags" ? 2 : 1;
    long timeslot = 0;
    uint32_t value[2] = {};
    bool reported[2] = {true, true};
    EventOptions options;
    bool good = words.size() >= 3 + values && number_of(words[2], timeslot) && timeslot >= 0 &&
                timeslot < long(timeslots) && read_options(words, 3 + values, false, options);
    for (size_t i = 0; good && i < values; ++i)
        good = value_of(kind, words[3 + i], value[i], reported[i]);
    if (!good) {
        out << "error: dsp " << kind << " wants TS, " << (values == 2 ? "two values" : "a value")
            << " and [stale | id ID]\n";
        return;
    }
    Timeslot const& t = state(uint32_t(timeslot));
    Device::DsprocEventRecord record{uint32_t(timeslot)};
    uint32_t current = 0;
    if (kind == "vad") {
        record.put32(Device::DsprocEvent::type, vad);
        current = t.vad.id;
        record.put32(Device::DsprocEvent::vad_mask,
                     (reported[0] ? 1u : 0u) | (reported[1] ? 2u : 0u));
        record.put32(Device::DsprocEvent::vad_rx, value[0]);
        record.put32(Device::DsprocEvent::vad_tx, value[1]);
    } else {
        record.put32(Device::DsprocEvent::type, kind == "sd"     ? sd
                                                : kind == "bss"  ? bss
                                                : kind == "tone" ? tone_filter
                                                                 : flags);
        current = kind == "sd" ? t.sd.id : kind == "bss" ? t.bss.id : 0;
        // The first two payload words, whatever the type.
        record.put32(Device::DsprocEvent::payload, value[0]);
        record.put32(Device::DsprocEvent::payload + 4, value[1]);
    }
    record.put32(Device::DsprocEvent::id, options.id_for(current));
    post_to_opens(board(), path(), record.data(), record.size, out);
}

void DspModel::command(Words const& words, std::ostream& out) {
    long number = 0;
    if (words.size() == 2 && words[1] == "help") {
        out << "dsp [TS]                                the DSP features of each timeslot used\n"
               "dsp version [N]                         the driver's interface version\n"
               "dsp vad TS RX|- TX|- | sd TS RX | bss TS SCORE [stale | id ID]\n"
               "dsp tone TS FREQ PRESENCE | flags TS FLAGS MASK [id ID]\n"
               "                                        an event record\n"
               "dsp short BYTES                         a record cut short\n";
    } else if (words.size() == 1) {
        for (auto const& [timeslot, t] : timeslots_) print(out, timeslot, t);
    } else if (words.size() == 2 && number_of(words[1], number) && number >= 0 &&
               number < long(timeslots)) {
        print(out, uint32_t(number), state(uint32_t(number)));
    } else if (words[1] == "version" && words.size() <= 3) {
        if (words.size() == 2)
            out << "dsp interface version " << version_ << '\n';
        else if (number_of(words[2], number) && number >= 0 && number < 65536)
            version_ = int(number);
        else
            out << "error: dsp version wants a number from 0 to 65535\n";
    } else if (words[1] == "vad" || words[1] == "sd" || words[1] == "bss" || words[1] == "tone" ||
               words[1] == "flags") {
        inject(words, out);
    } else if (words.size() == 3 && words[1] == "short" && number_of(words[2], number) &&
               number >= 0 && number < long(event_size)) {
        uint8_t const zeros[event_size] = {};
        post_to_opens(board(), path(), zeros, size_t(number), out);
    } else {
        out << "error: dsp wants nothing, a timeslot, version, vad, sd, bss, tone, flags or "
               "short (try dsp help)\n";
    }
}

}  // namespace SimBoard
