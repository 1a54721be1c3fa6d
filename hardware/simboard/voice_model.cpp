#include "hardware/simboard/voice_model.h"
#include "hardware/device/voice_driver.h"

#include <cstdlib>

namespace SimBoard {

namespace {

std::vector<Request> const voice_requests = {
    {Device::VOICE_COUNT, "VOICE_COUNT", Request::value, 0},
};

// A complete board: channels of every codec the RTP factories count.
std::map<uint32_t, uint32_t> const default_counts = {
    {1, 64}, {2, 32}, {4, 32}, {8, 64}, {65, 64},
};

bool number_of(std::string const& text, unsigned long& value) {
    char* end = nullptr;
    value = std::strtoul(text.c_str(), &end, 0);
    return !text.empty() && text[0] != '-' && *end == '\0';
}

}  // namespace

VoiceModel::VoiceModel(Board& board) : Model(board), counts_(default_counts) {}

std::vector<Request> const& VoiceModel::requests() const {
    return voice_requests;
}

int VoiceModel::serve(OpenFile&, Request const&, uint8_t*, unsigned long value) {
    // VOICE_COUNT, the only request of the table.
    auto const found = counts_.find(uint32_t(value));
    return found == counts_.end() ? 0 : int(found->second);
}

void VoiceModel::command(Words const& words, std::ostream& out) {
    unsigned long selector = 0, count = 0;
    if (words.size() == 1) {
        for (auto const& [each, n] : counts_) out << "selector " << each << " count " << n << '\n';
    } else if (words.size() == 2 && words[1] == "help") {
        out << "voice                                   the channel count of each codec selector\n"
               "voice count SELECTOR COUNT              the count VOICE_COUNT gives for SELECTOR\n";
    } else if (words.size() == 4 && words[1] == "count" && number_of(words[2], selector) &&
               selector <= UINT32_MAX && number_of(words[3], count) && count <= max_count) {
        counts_[uint32_t(selector)] = uint32_t(count);
    } else {
        out << "error: voice wants nothing, or count SELECTOR COUNT (0 to " << max_count << ")\n";
    }
}

}  // namespace SimBoard
