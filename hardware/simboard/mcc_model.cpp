#include "hardware/simboard/mcc_model.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "hardware/device/mcc_driver.h"
#include "hardware/simboard/board.h"

namespace SimBoard {

namespace {

std::vector<Request> const mcc_requests = {
    {Device::MCC_ALLOCATE, "MCC_ALLOCATE", Request::pointer, Device::MccChannelRecord::size},
    {Device::MCC_TIMESLOT, "MCC_TIMESLOT", Request::value, 0},
    {Device::MCC_RESOURCES, "MCC_RESOURCES", Request::pointer, Device::MccResourcesRecord::size},
};

char const* const kind_names[] = {"data", "bri", "transparent"};

// One burst of line bytes is at most this long.
size_t const max_burst = 1 << 20;

bool number_of(std::string const& text, unsigned long& value, int base = 10) {
    char* end = nullptr;
    value = std::strtoul(text.c_str(), &end, base);
    return !text.empty() && text[0] != '-' && *end == '\0';
}

// "5A" or "5A*300" appended to bytes; false when it is neither.
bool add_bytes(std::string const& word, std::string& bytes) {
    size_t const star = word.find('*');
    unsigned long byte = 0, count = 1;
    if (!number_of(word.substr(0, star), byte, 16) || byte > 0xFF) return false;
    if (star != std::string::npos && (!number_of(word.substr(star + 1), count) || count == 0))
        return false;
    if (count > max_burst - bytes.size()) return false;
    bytes.append(count, char(byte));
    return true;
}

}  // namespace

std::vector<Request> const& MccModel::requests() const { return mcc_requests; }

int MccModel::serve(OpenFile& file, Request const& request, uint8_t* record, unsigned long) {
    // A channel is free as soon as its last descriptor is closed.
    if (request.number != Device::MCC_TIMESLOT) board().take_pending();
    switch (request.number) {
        case Device::MCC_ALLOCATE:
            return allocate(file, record);
        case Device::MCC_TIMESLOT: {
            Channel const* const channel = find(file);
            return channel ? int(channel->number) : -EINVAL;
        }
        default:  // MCC_RESOURCES
            for (int kind = data; kind < kinds; ++kind)
                Device::put32(record + 4 * kind, total_[kind] - used(Kind(kind)));
            Device::put32(record + 12, 0);
            return 0;
    }
}

int MccModel::allocate(OpenFile& file, uint8_t const* record) {
    if (find(file)) return -EBUSY;
    Channel channel{};
    for (int word = 0; word < 5; ++word) channel.record[word] = Device::get32(record + 4 * word);
    uint32_t const mode = channel.record[0];
    uint32_t const packet = channel.record[1];
    if (mode > 3 || packet == 0 || packet > max_packet) return -EINVAL;
    channel.kind = mode == 1 ? bri : mode == 2 ? transparent : data;
    if (used(channel.kind) >= total_[channel.kind]) return -ENOSPC;
    channel.file = &file;
    channel.number = first_channel;
    auto at = channels_.begin();
    for (; at != channels_.end() && at->number == channel.number; ++at) ++channel.number;
    channels_.insert(at, channel);
    return 0;
}

MccModel::Channel* MccModel::find(OpenFile const& file) {
    for (Channel& channel : channels_)
        if (channel.file == &file) return &channel;
    return nullptr;
}

MccModel::Channel* MccModel::find(std::string const& word, std::ostream& out) {
    unsigned long number = 0;
    if (number_of(word, number))
        for (Channel& channel : channels_)
            if (channel.number == number) return &channel;
    out << "error: no MCC channel " << word << '\n';
    return nullptr;
}

uint32_t MccModel::used(Kind kind) const {
    return uint32_t(std::count_if(channels_.begin(), channels_.end(),
                                  [kind](Channel const& c) { return c.kind == kind; }));
}

void MccModel::closed(OpenFile& file) {
    channels_.erase(std::remove_if(channels_.begin(), channels_.end(),
                                   [&file](Channel const& c) { return c.file == &file; }),
                    channels_.end());
}

void MccModel::written(OpenFile& file, uint8_t const* data, size_t size) {
    Channel* const channel = find(file);
    if (!channel) return;
    channel->out += size;
    std::string& kept = channel->written;
    kept.append(reinterpret_cast<char const*>(data), size);
    if (kept.size() > kept_written) kept.erase(0, kept.size() - kept_written);
}

void MccModel::send(Channel& channel, Words const& words, std::ostream& out) {
    std::vector<std::string> bursts(1);
    for (size_t i = 3; i < words.size(); ++i) {
        if (words[i] == ",") {
            bursts.emplace_back();
        } else if (!add_bytes(words[i], bursts.back())) {
            out << "error: mcc send wants hex bytes (5A, or 5A*300 for 300 of them), "
                   "bursts parted by \",\"\n";
            return;
        }
    }
    if (channel.ended) {
        out << "error: the line of channel " << channel.number << " has ended\n";
        return;
    }
    size_t const packet = channel.record[1];
    for (std::string const& burst : bursts)
        for (size_t at = 0; at < burst.size(); at += packet) {
            size_t const n = std::min(packet, burst.size() - at);
            auto const* bytes = reinterpret_cast<uint8_t const*>(burst.data() + at);
            if (!board().post(*channel.file, bytes, n)) {
                out << "error: channel " << channel.number << " took " << channel.in
                    << " bytes in all, not the rest\n";
                return;
            }
            channel.in += n;
        }
}

void MccModel::list(std::ostream& out) const {
    out << "free:";
    for (int kind = data; kind < kinds; ++kind)
        out << ' ' << kind_names[kind] << ' ' << total_[kind] - used(Kind(kind)) << " of "
            << total_[kind];
    out << '\n';
    for (Channel const& c : channels_) {
        out << c.number << ' ' << kind_names[c.kind] << " {";
        for (int word = 0; word < 5; ++word) out << (word ? " " : "") << c.record[word];
        out << "} " << c.file->label << '#' << c.file->serial << ", in " << c.in << ", out "
            << c.out << (c.ended ? ", ended" : "") << '\n';
    }
}

void MccModel::command(Words const& words, std::ostream& out) {
    std::string const verb = words.size() > 1 ? words[1] : "";
    if (words.size() == 1) {
        list(out);
    } else if (verb == "help" && words.size() == 2) {
        out << "mcc                                     the free channel counts and every channel\n"
               "mcc count DATA BRI TRANS                the MCC's channels of each kind\n"
               "mcc send CHANNEL BYTES [, BYTES]...     line bytes into a channel (5A, 5A*300)\n"
               "mcc written CHANNEL                     the bytes the server wrote to a channel\n"
               "mcc end CHANNEL                         the channel's line ends\n";
    } else if (verb == "count" && words.size() == 5) {
        uint32_t totals[kinds];
        for (int kind = data; kind < kinds; ++kind) {
            unsigned long n = 0;
            if (!number_of(words[2 + kind], n) || n > max_per_kind) {
                out << "error: mcc count wants three counts of 0 to " << max_per_kind << '\n';
                return;
            }
            totals[kind] = uint32_t(n);
        }
        std::copy(totals, totals + kinds, total_);
    } else if (verb == "send" && words.size() >= 4) {
        if (Channel* const channel = find(words[2], out)) send(*channel, words, out);
    } else if (verb == "written" && words.size() == 3) {
        Channel const* const channel = find(words[2], out);
        if (!channel) return;
        if (channel->out > channel->written.size())
            out << "(" << channel->out - channel->written.size() << " earlier bytes not kept) ";
        char hex[4];
        for (size_t i = 0; i < channel->written.size(); ++i) {
            std::snprintf(hex, sizeof(hex), i ? " %02X" : "%02X",
                          uint8_t(channel->written[i]));
            out << hex;
        }
        out << '\n';
    } else if (verb == "end" && words.size() == 3) {
        Channel* const channel = find(words[2], out);
        if (!channel) return;
        ::shutdown(channel->file->board_end.lowlevel_fd(), SHUT_WR);
        channel->ended = true;
    } else {
        out << "error: mcc wants nothing, count, send, written or end (try mcc help)\n";
    }
}

}  // namespace SimBoard
