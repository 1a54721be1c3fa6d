#include "hardware/simboard/voice_model.h"
#include "hardware/device/voice_driver.h"

#include <cstdlib>

#include "hardware/simboard/board.h"

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
    // VOICE_COUNT, the only request of the table. Channels of sessions whose
    // last descriptor has closed are free.
    board().take_pending();
    return int(free(uint32_t(value)));
}

uint32_t VoiceModel::free(uint32_t selector) const {
    auto const count = counts_.find(selector);
    auto const used = in_use_.find(selector);
    uint32_t const total = count == counts_.end() ? 0 : count->second;
    uint32_t const taken = used == in_use_.end() ? 0 : used->second;
    return total > taken ? total - taken : 0;
}

bool VoiceModel::take(uint32_t selector) {
    if (free(selector) == 0) return false;
    ++in_use_[selector];
    return true;
}

void VoiceModel::give(uint32_t selector) {
    auto const used = in_use_.find(selector);
    if (used != in_use_.end() && used->second > 0) --used->second;
}

void VoiceModel::command(Words const& words, std::ostream& out) {
    unsigned long selector = 0, count = 0;
    if (words.size() == 1) {
        for (auto const& [each, n] : counts_) {
            out << "selector " << each << " count " << n;
            auto const used = in_use_.find(each);
            if (used != in_use_.end() && used->second > 0) out << ", in use " << used->second;
            out << '\n';
        }
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
