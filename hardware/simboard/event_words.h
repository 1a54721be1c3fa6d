#pragma once
// What the DSP models' board-tool commands share: number words, the options
// of an injected event record ("at STAMP", "stale", "id ID"), and sending a
// record to every open of a device.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "hardware/simboard/board.h"

namespace SimBoard {

// A whole word as a number: decimal, 0x hexadecimal or a leading minus.
inline bool number_of(std::string const& word, long& value) {
    if (word.empty()) return false;
    char* end = nullptr;
    value = std::strtol(word.c_str(), &end, 0);
    return *end == '\0';
}

struct EventOptions {
    bool stale = false;  // an id other than the feature's current one
    bool has_id = false;
    uint32_t id = 0;
    bool has_at = false;
    uint32_t at = 0;  // the record's time stamp

    // The id the record carries, given the feature's current one.
    uint32_t id_for(uint32_t current) const {
        if (has_id) return id;
        return stale ? current - 1 : current;
    }
};

// Reads the options from words[from] on; false when one is not understood.
inline bool read_options(Words const& words, size_t from, bool with_stamp, EventOptions& o) {
    for (size_t i = from; i < words.size(); ++i) {
        long value = 0;
        if (words[i] == "stale") {
            o.stale = true;
        } else if (words[i] == "id" && i + 1 < words.size() && number_of(words[i + 1], value)) {
            o.has_id = true;
            o.id = uint32_t(value);
            ++i;
        } else if (with_stamp && words[i] == "at" && i + 1 < words.size() &&
                   number_of(words[i + 1], value)) {
            o.has_at = true;
            o.at = uint32_t(value);
            ++i;
        } else {
            return false;
        }
    }
    return true;
}

// Sends the record to every open of the path; false with a refusal on
// `out` when nothing has the device open.
inline bool post_to_opens(Board& board, char const* path, uint8_t const* data, size_t size,
                          std::ostream& out) {
    auto const opens = board.opens(path);
    if (opens.empty()) {
        out << "error: nothing has " << path << " open\n";
        return false;
    }
    for (OpenFile* file : opens) board.post(*file, data, size);
    return true;
}

}  // namespace SimBoard
