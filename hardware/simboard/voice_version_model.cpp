#include "hardware/simboard/voice_version_model.h"

#include "hardware/device/voice_driver.h"
#include "hardware/simboard/event_words.h"

namespace SimBoard {

std::vector<Request> const& VoiceVersionModel::requests() const {
    static std::vector<Request> const table = {
        {Device::VOICE_VERSION, "VOICE_VERSION", Request::pointer,
         Device::VoiceVersionRecord::size},
    };
    return table;
}

int VoiceVersionModel::serve(OpenFile&, Request const&, uint8_t* record, unsigned long) {
    for (size_t i = 0; i < Device::voice_version_words; ++i)
        Device::put32(record + 4 * i, words_[i]);
    return 0;
}

void VoiceVersionModel::command(Words const& words, std::ostream& out) {
    if (words.size() == 2 && words[1] == "help") {
        out << "voice-version [W1 W2 W3 W4 W5]          the voice driver's version words\n";
    } else if (words.size() == 1) {
        out << "voice driver version:";
        for (uint32_t w : words_) out << ' ' << w;
        out << '\n';
    } else if (words.size() == 6) {
        long values[5] = {};
        for (size_t i = 0; i < 5; ++i)
            if (!number_of(words[1 + i], values[i])) {
                out << "error: voice-version wants five numbers\n";
                return;
            }
        for (size_t i = 0; i < 5; ++i) words_[i] = uint32_t(values[i]);
    } else {
        out << "error: voice-version wants nothing or five numbers\n";
    }
}

}  // namespace SimBoard
