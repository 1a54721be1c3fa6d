#include "hardware/simboard/tonec_model.h"

#include <cerrno>

#include "hardware/device/dtmf_driver.h"
#include "hardware/simboard/event_words.h"

namespace SimBoard {

namespace {

std::vector<Request> const tonec_requests = {
    {Device::DTMF_CONFIGURE_DETECTOR, "DTMF_CONFIGURE_DETECTOR", Request::pointer,
     Device::DtmfConfigureRecord::size},
    {Device::DTMF_ENABLE_DETECTOR, "DTMF_ENABLE_DETECTOR", Request::pointer,
     Device::DtmfEnableRecord::size},
    {Device::DTMF_DISABLE_DETECTOR, "DTMF_DISABLE_DETECTOR", Request::value, 0},
    {Device::DTMF_DIAL, "DTMF_DIAL", Request::pointer, Device::DtmfDialRecord::size},
    {Device::CHANNEL_LMS_ON, "CHANNEL_LMS_ON", Request::value, 0},
    {Device::CHANNEL_LMS_OFF, "CHANNEL_LMS_OFF", Request::value, 0},
    {Device::DTMF_REJECTION_ENABLE, "DTMF_REJECTION_ENABLE", Request::value, 0},
    {Device::DTMF_REJECTION_DISABLE, "DTMF_REJECTION_DISABLE", Request::value, 0},
    {Device::IVA_DETECTOR_ENABLE, "IVA_DETECTOR_ENABLE", Request::value, 0},
    {Device::IVA_DETECTOR_DISABLE, "IVA_DETECTOR_DISABLE", Request::value, 0},
    {Device::IVA_CONFIGURE_DETECTOR, "IVA_CONFIGURE_DETECTOR", Request::pointer,
     Device::IvaConfigureRecord::size},
    {Device::SELCAL_DIAL, "SELCAL_DIAL", Request::pointer, Device::SelcalDialRecord::size},
};

constexpr size_t event_size = Device::DtmfEventRecord::size;

char const* on_off(bool on) {
    return on ? "on" : "off";
}

// "5", "0x0500", "ced", "cng", "ringoff", "iva:7" -> the driver's code.
bool code_of(std::string const& word, uint32_t& code) {
    long value = 0;
    if (word == "ced") {
        code = 17;
    } else if (word == "cng") {
        code = 18;
    } else if (word == "ringoff") {
        code = 21 << 8;
    } else if (word.compare(0, 4, "iva:") == 0 && number_of(word.substr(4), value)) {
        code = uint32_t(value) << 8;
    } else if (number_of(word, value)) {
        code = uint32_t(value);
    } else {
        return false;
    }
    return true;
}

}  // namespace

TonecModel::TonecModel(Board& board) : Model(board), start_(std::chrono::steady_clock::now()) {}

std::vector<Request> const& TonecModel::requests() const {
    return tonec_requests;
}

uint32_t TonecModel::now_ms() const {
    return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start_)
                        .count());
}

TonecModel::Timeslot const& TonecModel::state(uint32_t timeslot) const {
    static Timeslot const unused;
    auto const it = timeslots_.find(timeslot);
    return it == timeslots_.end() ? unused : it->second;
}

int TonecModel::serve(OpenFile&, Request const& request, uint8_t* record, unsigned long value) {
    // Every record starts with the timeslot.
    uint32_t const timeslot =
        record ? Device::get32(record + Device::DtmfEnable::timeslot) : uint32_t(value);
    if (timeslot >= timeslots) return -EINVAL;
    Timeslot& t = timeslots_[timeslot];
    switch (request.number) {
        case Device::DTMF_CONFIGURE_DETECTOR:
            t.configured = true;
            t.twist = Device::get32(record + Device::DtmfConfigure::twist);
            t.ratio = Device::get32(record + Device::DtmfConfigure::ratio);
            t.silence = Device::get32(record + Device::DtmfConfigure::silence);
            t.noise = Device::get32(record + Device::DtmfConfigure::noise);
            break;
        case Device::DTMF_ENABLE_DETECTOR:
            t.detector = true;
            t.id = Device::get32(record + Device::DtmfEnable::id);
            break;
        case Device::DTMF_DISABLE_DETECTOR:
            t.detector = false;
            break;
        case Device::DTMF_DIAL: {
            for (size_t i = 0; i < Device::DtmfDial::tone_count; ++i)
                t.generator[i] = Device::get16(record + Device::DtmfDial::tones + 2 * i);
            if (t.dials.size() == dial_history) t.dials.pop_front();
            t.dials.push_back(
                {now_ms(), t.generator[0], t.generator[1], t.generator[2], t.generator[3]});
            break;
        }
        case Device::CHANNEL_LMS_ON:
            t.lms = true;
            break;
        case Device::CHANNEL_LMS_OFF:
            t.lms = false;
            break;
        case Device::DTMF_REJECTION_ENABLE:
            t.rejection = true;
            break;
        case Device::DTMF_REJECTION_DISABLE:
            t.rejection = false;
            break;
        case Device::IVA_DETECTOR_ENABLE:
            t.iva = true;
            break;
        case Device::IVA_DETECTOR_DISABLE:
            t.iva = false;
            break;
        case Device::IVA_CONFIGURE_DETECTOR:
            t.iva_configured = true;
            t.iva_level = int32_t(Device::get32(record + Device::IvaConfigure::level));
            break;
        default:  // SELCAL_DIAL
            t.selcal.assign(reinterpret_cast<char const*>(record + Device::SelcalDial::signs),
                            Device::SelcalDial::sign_count);
            t.selcal_amplitude = Device::get16(record + Device::SelcalDial::amplitude);
            break;
    }
    return 0;
}

void TonecModel::print(std::ostream& out, uint32_t timeslot, Timeslot const& t) const {
    out << timeslot << " detector " << on_off(t.detector) << " id " << t.id << " lms "
        << on_off(t.lms) << " rejection " << on_off(t.rejection) << " iva " << on_off(t.iva)
        << " generator " << t.generator[0] << ' ' << t.generator[1] << ' ' << t.generator[2] << ' '
        << t.generator[3];
    if (t.configured)
        out << " config " << t.twist << ' ' << t.ratio << ' ' << t.silence << ' ' << t.noise;
    if (t.iva_configured) out << " iva-level " << t.iva_level;
    if (!t.selcal.empty()) out << " selcal " << t.selcal << ' ' << t.selcal_amplitude;
    out << '\n';
}

void TonecModel::detect(Words const& words, std::ostream& out) {
    long timeslot = 0;
    uint32_t code = 0;
    EventOptions options;
    if (words.size() < 4 || !number_of(words[2], timeslot) || timeslot < 0 ||
        timeslot >= long(timeslots) || !code_of(words[3], code) ||
        !read_options(words, 4, true, options)) {
        out << "error: dtmf detect wants TS CODE [at STAMP] [stale | id ID]\n";
        return;
    }
    Timeslot const& t = state(uint32_t(timeslot));
    Device::DtmfEventRecord record{code, uint32_t(timeslot), options.has_at ? options.at : now_ms(),
                                   options.id_for(t.id)};
    post_to_opens(board(), path(), record.data(), record.size, out);
}

void TonecModel::command(Words const& words, std::ostream& out) {
    long number = 0;
    if (words.size() == 2 && words[1] == "help") {
        out << "dtmf [TS]                               the tone receiver of each timeslot used\n"
               "dtmf dial TS                            the tone generator's settings, timed\n"
               "dtmf detect TS CODE [at STAMP] [stale | id ID]\n"
               "                                        a detected digit or tone (ced, cng,\n"
               "                                        ringoff, iva:N or a number)\n"
               "dtmf short BYTES                        a record cut short\n";
    } else if (words.size() == 1) {
        for (auto const& [timeslot, t] : timeslots_) print(out, timeslot, t);
    } else if (words.size() == 2 && number_of(words[1], number) && number >= 0 &&
               number < long(timeslots)) {
        print(out, uint32_t(number), state(uint32_t(number)));
    } else if (words.size() == 3 && words[1] == "dial" && number_of(words[2], number) &&
               number >= 0 && number < long(timeslots)) {
        auto const& dials = state(uint32_t(number)).dials;
        for (Dial const& d : dials)
            out << '+' << d.at_ms - dials.front().at_ms << ' ' << d.f1 << ' ' << d.f2 << ' ' << d.a1
                << ' ' << d.a2 << '\n';
    } else if (words.size() >= 2 && words[1] == "detect") {
        detect(words, out);
    } else if (words.size() == 3 && words[1] == "short" && number_of(words[2], number) &&
               number >= 0 && number < long(event_size)) {
        uint8_t const zeros[event_size] = {};
        post_to_opens(board(), path(), zeros, size_t(number), out);
    } else {
        out << "error: dtmf wants nothing, a timeslot, dial TS, detect TS CODE or short BYTES "
               "(try dtmf help)\n";
    }
}

}  // namespace SimBoard
