#include "hardware/simboard/mcc_model.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "hardware/device/mcc_driver.h"
#include "hardware/simboard/board.h"
#include "runtime/loop/event.h"
#include "runtime/system/platform_path.h"

namespace SimBoard {

namespace {

std::vector<Request> const mcc_requests = {
    {Device::MCC_ALLOCATE, "MCC_ALLOCATE", Request::pointer, Device::MccChannelRecord::size},
    {Device::MCC_TIMESLOT, "MCC_TIMESLOT", Request::value, 0},
    {Device::MCC_RESOURCES, "MCC_RESOURCES", Request::pointer, Device::MccResourcesRecord::size},
};

char const* const kind_names[] = {"data", "bri", "transparent"};
// Where MCC_RESOURCES answers each kind's free channels.
size_t const resources_at[] = {Device::MccResources::data, Device::MccResources::bri,
                               Device::MccResources::transparent};

// One burst of line bytes is at most this long.
size_t const max_burst = 1 << 20;

bool number_of(std::string const& text, unsigned long& value, int base = 10) {
    char* end = nullptr;
    value = std::strtoul(text.c_str(), &end, base);
    return !text.empty() && text[0] != '-' && *end == '\0';
}

// "$MOBREL_ROOT/simboard/mcc-1024.sock": where a channel's line socket is.
std::string line_path(uint32_t number) {
    return Platform::path("/simboard/mcc-" + std::to_string(number) + ".sock");
}

}  // namespace

void MccModel::Losses::PutWhere(std::ostream& os) const {
    os << "simulated board: MCC channel " << number_ << ", " << way_ << " the line";
}

void MccModel::Losses::lost(Why why, size_t size, size_t largest) {
    static char const* const texts[] = {"an empty frame is no frame",
                                        "larger than the channel's frames of up to ",
                                        "the server has no room for it"};
    ++count_;
    last_ms_ = std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
                   .count();
    if (said_[why]) return;
    said_[why] = true;
    PutWhere(std::cerr);
    std::cerr << ": a record of " << size << " octets lost: " << texts[why];
    if (why == too_large) std::cerr << largest << " octets";
    std::cerr << " (one line a streak of losses)" << std::endl;
}

void MccModel::Losses::taken() {
    if (count_ == 0) return;
    int64_t const now = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
    if (now - last_ms_ < 1000) return;
    PutWhere(std::cerr);
    std::cerr << ": " << count_ << " records lost in the last streak" << std::endl;
    count_ = 0;
    std::fill(std::begin(said_), std::end(said_), false);
}

// A channel's line socket: a listener for the peer program and the one peer
// connected at a time (a newer connection takes the line over).
class MccModel::Line {
public:
    Line(MccModel& model, uint32_t number) : model_(model), number_(number) {}
    ~Line() {
        if (!file_.empty()) ::unlink(file_.c_str());
    }

    // Binds and listens; false with errno.
    bool open() {
        file_ = line_path(number_);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (file_.size() >= sizeof(address.sun_path)) {
            errno = ENAMETOOLONG;
            return false;
        }
        std::strcpy(address.sun_path, file_.c_str());
        ::unlink(file_.c_str());
        Fd const fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (!fd || ::bind(fd.lowlevel_fd(), reinterpret_cast<sockaddr*>(&address),
                          sizeof(address)) != 0 ||
            ::listen(fd.lowlevel_fd(), 4) != 0)
            return false;
        listener_.Bind("MccModel::Line::on_accept", &Line::on_accept, this);
        listener_.Schedule(fd, POLLIN);
        return true;
    }

    // A record the server wrote, to the peer; lost when there is none or it
    // does not take it.
    void to_peer(uint8_t const* bytes, size_t size) {
        if (!peer_.IsActive()) return;
        if (::send(peer_.lowlevel_fd(), bytes, size, MSG_DONTWAIT | MSG_NOSIGNAL) == ssize_t(size))
            losses_.taken();
        else
            losses_.lost(Losses::no_room, size, 0);
    }

private:
    void on_accept(int fd, short revents) {
        if (!(revents & POLLIN)) return;
        Fd const peer(::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!peer) return;
        peer_.Bind("MccModel::Line::on_peer", &Line::on_peer, this);
        peer_.Schedule(peer, POLLIN);
    }

    void on_peer(int fd, short revents) {
        if (!(revents & (POLLIN | POLLHUP | POLLERR))) return;
        uint8_t buffer[max_packet];
        // What is left waits for the next loop pass.
        for (int record = 0; record < records_per_pass; ++record) {
            // The record's whole size, also when the buffer does not hold it.
            ssize_t const got = ::recv(fd, buffer, sizeof(buffer), MSG_DONTWAIT | MSG_TRUNC);
            if (got < 0 && errno == EAGAIN) return;
            if (got > 0 || (got == 0 && !at_end(fd))) {
                model_.from_line(number_, buffer, size_t(got));
                continue;
            }
            // The peer has gone: the line has no far end until the next one.
            peer_.Release();
            return;
        }
    }

    // Whether the peer has shut the socket: a read of 0 octets is then its
    // end and not an empty record.
    static bool at_end(int fd) {
        pollfd entry{fd, POLLRDHUP, 0};
        return ::poll(&entry, 1, 0) != 0 && (entry.revents & (POLLRDHUP | POLLHUP | POLLERR));
    }

    MccModel& model_;
    uint32_t const number_;
    std::string file_;
    Event listener_;
    Event peer_;
    Losses losses_{number_, "to"};  // of the records to the peer
};

MccModel::MccModel(Board& board) : Model(board) {}

MccModel::~MccModel() = default;

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
                Device::put32(record + resources_at[kind], total_[kind] - used(Kind(kind)));
            Device::put32(record + Device::MccResources::reserved, 0);
            return 0;
    }
}

int MccModel::allocate(OpenFile& file, uint8_t const* record) {
    if (find(file)) return -EBUSY;
    Channel channel{};
    for (size_t word = 0; word < Device::MccChannel::words; ++word)
        channel.record[word] = Device::get32(record + 4 * word);
    uint32_t const mode = Device::get32(record + Device::MccChannel::mode);
    uint32_t const packet = Device::get32(record + Device::MccChannel::rx_packet_size);
    if (mode > Device::MccChannel::ss7 || packet == 0 || packet > max_packet) return -EINVAL;
    channel.kind = mode == Device::MccChannel::bri           ? bri
                   : mode == Device::MccChannel::transparent ? transparent
                                                             : data;
    if (used(channel.kind) >= total_[channel.kind]) return -ENOSPC;
    channel.file = &file;
    channel.number = first_channel;
    auto at = channels_.begin();
    for (; at != channels_.end() && at->number == channel.number; ++at) ++channel.number;
    channel.losses = Losses(channel.number, "from");
    channels_.insert(at, channel);
    return 0;
}

MccModel::Channel* MccModel::find(OpenFile const& file) {
    for (Channel& channel : channels_)
        if (channel.file == &file) return &channel;
    return nullptr;
}

MccModel::Channel* MccModel::find(uint32_t number) {
    for (Channel& channel : channels_)
        if (channel.number == number) return &channel;
    return nullptr;
}

MccModel::Channel* MccModel::find(std::string const& word, std::ostream& out) {
    unsigned long number = 0;
    if (number_of(word, number) && number <= UINT32_MAX)
        if (Channel* const channel = find(uint32_t(number))) return channel;
    out << "error: no MCC channel " << word << '\n';
    return nullptr;
}

uint32_t MccModel::used(Kind kind) const {
    return uint32_t(std::count_if(channels_.begin(), channels_.end(),
                                  [kind](Channel const& c) { return c.kind == kind; }));
}

void MccModel::closed(OpenFile& file) {
    Channel* const channel = find(file);
    if (!channel) return;
    if (Channel* const peer = find(channel->joined)) peer->joined = 0;
    lines_.erase(channel->number);
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
    auto const line = lines_.find(channel->number);
    if (line != lines_.end()) line->second->to_peer(data, size);
    if (channel->joined) from_line(channel->joined, data, size);
}

bool MccModel::deliver(Channel& channel, uint8_t const* bytes, size_t size, std::ostream& out) {
    size_t const packet = channel.record[Device::MccChannel::rx_packet_size / 4];
    for (size_t at = 0; at < size; at += packet) {
        size_t const n = std::min(packet, size - at);
        if (!board().post(*channel.file, bytes + at, n)) {
            out << "error: channel " << channel.number << " took " << channel.in
                << " bytes in all, not the rest\n";
            return false;
        }
        channel.in += n;
    }
    return true;
}

void MccModel::from_line(uint32_t number, uint8_t const* bytes, size_t size) {
    Channel* const channel = find(number);
    if (!channel || channel->ended) return;
    size_t const packet = channel->record[Device::MccChannel::rx_packet_size / 4];
    Losses& losses = channel->losses;
    if (size == 0) return losses.lost(Losses::empty, size, packet);
    if (size > packet) return losses.lost(Losses::too_large, size, packet);
    // Not through Board::post, which says every record it loses.
    if (::send(channel->file->board_end.lowlevel_fd(), bytes, size,
               MSG_DONTWAIT | MSG_NOSIGNAL) != ssize_t(size))
        return losses.lost(Losses::no_room, size, packet);
    channel->in += size;
    losses.taken();
}

void MccModel::join(Words const& words, std::ostream& out) {
    Channel* const a = find(words[2], out);
    Channel* const b = a ? find(words[3], out) : nullptr;
    if (!b) return;
    if (a == b) {
        out << "error: a channel cannot be joined to itself\n";
        return;
    }
    for (Channel const* c : {a, b})
        if (c->joined || lines_.count(c->number)) {
            out << "error: the line of channel " << c->number << " has a far end already\n";
            return;
        }
    a->joined = b->number;
    b->joined = a->number;
}

void MccModel::open_line(Channel& channel, std::ostream& out) {
    if (channel.joined || lines_.count(channel.number)) {
        out << "error: the line of channel " << channel.number << " has a far end already\n";
        return;
    }
    auto line = std::make_unique<Line>(*this, channel.number);
    if (!line->open()) {
        out << "error: no line socket for channel " << channel.number << ": "
            << std::strerror(errno) << '\n';
        return;
    }
    lines_.emplace(channel.number, std::move(line));
    out << line_path(channel.number) << '\n';
}

void MccModel::send(Channel& channel, Words const& words, std::ostream& out) {
    std::vector<std::string> bursts(1);
    for (size_t i = 3; i < words.size(); ++i) {
        if (words[i] == ",") {
            bursts.emplace_back();
        } else if (!AddHexBytes(words[i], bursts.back(), max_burst)) {
            out << "error: mcc send wants hex bytes (5A, or 5A*300 for 300 of them), "
                   "bursts parted by \",\"\n";
            return;
        }
    }
    if (channel.ended) {
        out << "error: the line of channel " << channel.number << " has ended\n";
        return;
    }
    for (std::string const& burst : bursts)
        if (!deliver(channel, reinterpret_cast<uint8_t const*>(burst.data()), burst.size(), out))
            return;
}

void MccModel::list(std::ostream& out) const {
    out << "free:";
    for (int kind = data; kind < kinds; ++kind)
        out << ' ' << kind_names[kind] << ' ' << total_[kind] - used(Kind(kind)) << " of "
            << total_[kind];
    out << '\n';
    for (Channel const& c : channels_) {
        out << c.number << ' ' << kind_names[c.kind] << " {";
        for (size_t word = 0; word < Device::MccChannel::words; ++word)
            out << (word ? " " : "") << c.record[word];
        out << "} " << c.file->label << '#' << c.file->serial << ", in " << c.in << ", out "
            << c.out << (c.ended ? ", ended" : "");
        if (c.joined) out << ", joined to " << c.joined;
        if (lines_.count(c.number)) out << ", line " << line_path(c.number);
        out << '\n';
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
               "mcc end CHANNEL                         the channel's line ends\n"
               "mcc join CHANNEL CHANNEL                the two lines back to back\n"
               "mcc part CHANNEL                        the channel's line leaves its join\n"
               "mcc line CHANNEL                        a socket for a peer on the line\n";
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
        out << HexText(reinterpret_cast<uint8_t const*>(channel->written.data()),
                       channel->written.size());
        out << '\n';
    } else if (verb == "end" && words.size() == 3) {
        Channel* const channel = find(words[2], out);
        if (!channel) return;
        ::shutdown(channel->file->board_end.lowlevel_fd(), SHUT_WR);
        channel->ended = true;
    } else if (verb == "join" && words.size() == 4) {
        join(words, out);
    } else if (verb == "part" && words.size() == 3) {
        Channel* const channel = find(words[2], out);
        if (!channel) return;
        if (Channel* const peer = find(channel->joined)) peer->joined = 0;
        channel->joined = 0;
    } else if (verb == "line" && words.size() == 3) {
        if (Channel* const channel = find(words[2], out)) open_line(*channel, out);
    } else {
        out << "error: mcc wants nothing, count, send, written, end, join, part or line "
               "(try mcc help)\n";
    }
}

}  // namespace SimBoard
