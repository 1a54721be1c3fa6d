#include "hardware/simboard/modem_model.h"

#include <cerrno>
#include <cstdlib>

#include "hardware/device/mctl_driver.h"
#include "hardware/simboard/board.h"

namespace SimBoard {

namespace {

std::vector<Request> const modem_requests = {
    {Device::MDM_ENUM, "MDM_ENUM", Request::value, 0},
    {Device::MDM_ALLOCATE, "MDM_ALLOCATE", Request::value, 0},
    {Device::MDM_GET_TIMESLOT, "MDM_GET_TIMESLOT", Request::value, 0},
    {Device::MDM_SET_DDM, "MDM_SET_DDM", Request::pointer, Device::MdmRecord::size},
    {Device::MDM_RESET_PARAMS, "MDM_RESET_PARAMS", Request::pointer, Device::MdmRecord::size},
    {Device::MDM_SET_PARAM, "MDM_SET_PARAM", Request::pointer, Device::MdmParamRecord::size},
    {Device::MDM_ANSWER, "MDM_ANSWER", Request::pointer, Device::MdmRecord::size},
    {Device::MDM_ORIGINATE, "MDM_ORIGINATE", Request::pointer, Device::MdmRecord::size},
    {Device::MDM_ORIGINATE_FAX, "MDM_ORIGINATE_FAX", Request::pointer, Device::MdmRecord::size},
};

bool number_of(std::string const& text, unsigned long& value) {
    char* end = nullptr;
    value = std::strtoul(text.c_str(), &end, 0);
    return !text.empty() && text[0] != '-' && *end == '\0';
}

}  // namespace

ModemModel::ModemModel(Board& board) : Model(board), modems_(4) {}

std::vector<Request> const& ModemModel::requests() const { return modem_requests; }

int ModemModel::allocate(OpenFile& file) {
    int held = -1;
    if (modem_of(file, held)) return -EBUSY;
    for (size_t n = 0; n < modems_.size(); ++n) {
        if (modems_[n].owner) continue;
        modems_[n] = Modem{};
        modems_[n].owner = &file;
        return int(n);
    }
    return -EBUSY;
}

ModemModel::Modem* ModemModel::modem_of(OpenFile const& file, int& number) {
    for (size_t n = 0; n < modems_.size(); ++n)
        if (modems_[n].owner == &file) {
            number = int(n);
            return &modems_[n];
        }
    return nullptr;
}

int ModemModel::serve(OpenFile& file, Request const& request, uint8_t* record,
                      unsigned long value) {
    if (request.number == Device::MDM_ENUM) {
        int32_t const previous = int32_t(uint32_t(value));
        int64_t const next = previous < 0 ? 0 : int64_t(previous) + 1;
        return next < int64_t(modems_.size()) ? int(next) : -ENODEV;
    }
    if (request.number == Device::MDM_ALLOCATE) return allocate(file);
    int number = -1;
    Modem* const modem = modem_of(file, number);
    if (!modem) return -EINVAL;
    if (request.number == Device::MDM_GET_TIMESLOT) return int(first_channel_) + number;
    // Every record starts with the modem.
    if (Device::get32(record + Device::Mdm::modem) != uint32_t(number)) return -EINVAL;
    switch (request.number) {
        case Device::MDM_SET_DDM:
            modem->ddm = Device::get32(record + Device::Mdm::value);
            modem->ddm_set = true;
            return 0;
        case Device::MDM_RESET_PARAMS:
            modem->params.clear();
            return 0;
        case Device::MDM_SET_PARAM:
            modem->params[Device::get32(record + Device::MdmParam::index)] =
                Device::get32(record + Device::MdmParam::value);
            return 0;
        case Device::MDM_ANSWER:
            modem->call = "answer";
            return 0;
        case Device::MDM_ORIGINATE:
            modem->call = "originate";
            return 0;
        default:  // MDM_ORIGINATE_FAX
            modem->call = "originate fax";
            return 0;
    }
}

void ModemModel::closed(OpenFile& file) {
    int number = -1;
    if (Modem* const modem = modem_of(file, number)) *modem = Modem{};
}

void ModemModel::print(std::ostream& out, unsigned number) const {
    Modem const& modem = modems_[number];
    out << "modem " << number << " channel " << first_channel_ + number;
    if (!modem.owner) {
        out << " free\n";
        return;
    }
    out << ' ' << modem.owner->label << '#' << modem.owner->serial;
    if (modem.ddm_set) out << " ddm " << modem.ddm;
    for (auto const& [index, value] : modem.params)
        out << " param " << index << '=' << int32_t(value);
    if (*modem.call) out << ' ' << modem.call;
    out << '\n';
}

void ModemModel::command(Words const& words, std::ostream& out) {
    if (words.size() == 2 && words[1] == "help") {
        out << "modem                                   the DSP modems, their opens and calls\n"
               "modem count N [CHANNEL]                 N modems on channels CHANNEL, ...\n";
        return;
    }
    if (words.size() == 1) {
        if (modems_.empty()) out << "no modems\n";
        for (unsigned n = 0; n < modems_.size(); ++n) print(out, n);
        return;
    }
    unsigned long count = 0, channel = first_channel_;
    if ((words.size() == 3 || words.size() == 4) && words[1] == "count" &&
        number_of(words[2], count) && count <= max_modems &&
        (words.size() == 3 || number_of(words[3], channel)) && channel + count <= 8192) {
        for (Modem const& modem : modems_)
            if (modem.owner) {
                out << "error: a modem is allocated\n";
                return;
            }
        modems_.assign(count, Modem{});
        first_channel_ = uint32_t(channel);
        return;
    }
    out << "error: modem wants nothing, or count N (0 to " << max_modems
        << ") and a first channel below 8192\n";
}

}  // namespace SimBoard
