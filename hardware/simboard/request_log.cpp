#include "hardware/simboard/request_log.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "hardware/device/record.h"

namespace SimBoard {

RequestLog::RequestLog() : entries_(capacity) {}

void RequestLog::add(char const* device, char const* what, uint32_t file, uint32_t const* words,
                     size_t count, int error) {
    Entry& e = entries_[next_];
    e.device = device;
    e.what = what;
    e.file = file;
    e.count = uint8_t(count < max_words ? count : max_words);
    for (size_t i = 0; i < e.count; ++i) e.words[i] = words[i];
    e.error = int16_t(error);
    next_ = (next_ + 1) % capacity;
    ++total_;
}

void RequestLog::add_record(char const* device, char const* what, uint32_t file,
                            uint8_t const* record, size_t size) {
    uint32_t words[max_words];
    size_t count = 0;
    if (size < 4) {
        // A record shorter than a word shows its bytes.
        for (; count < size; ++count) words[count] = record[count];
    }
    for (; count < max_words && (count + 1) * 4 <= size; ++count)
        words[count] = Device::get32(record + 4 * count);
    add(device, what, file, words, count, 0);
}

void RequestLog::fail_last(int error) {
    if (total_ == 0) return;
    entries_[(next_ + capacity - 1) % capacity].error = int16_t(error);
}

void RequestLog::clear() {
    next_ = 0;
    total_ = 0;
}

void RequestLog::print(std::ostream& out, std::string const& device,
                       std::string const& what) const {
    size_t const held = total_ < capacity ? total_ : capacity;
    if (total_ > held) out << "(" << total_ - held << " earlier entries dropped)\n";
    for (size_t i = 0; i < held; ++i) {
        Entry const& e = entries_[(next_ + capacity - held + i) % capacity];
        if (!device.empty() && device != e.device) continue;
        if (!what.empty() && what != e.what) continue;
        out << e.device << '#' << e.file << ' ' << e.what;
        for (size_t w = 0; w < e.count; ++w) out << ' ' << e.words[w];
        if (e.error) out << " -> " << ErrnoName(e.error);
        out << '\n';
    }
}

namespace {

struct ErrnoEntry {
    int number;
    char const* name;
};

ErrnoEntry const errno_names[] = {
    {EPERM, "EPERM"},   {ENOENT, "ENOENT"}, {EINTR, "EINTR"},   {EIO, "EIO"},
    {ENXIO, "ENXIO"},   {EBADF, "EBADF"},   {EAGAIN, "EAGAIN"}, {ENOMEM, "ENOMEM"},
    {EACCES, "EACCES"}, {EFAULT, "EFAULT"}, {EBUSY, "EBUSY"},   {ENODEV, "ENODEV"},
    {EINVAL, "EINVAL"}, {ENOSPC, "ENOSPC"}, {ENOTTY, "ENOTTY"}, {EPIPE, "EPIPE"},
    {ETIMEDOUT, "ETIMEDOUT"}, {EMSGSIZE, "EMSGSIZE"}, {EOPNOTSUPP, "EOPNOTSUPP"},
};

}  // namespace

std::string ErrnoName(int error) {
    for (ErrnoEntry const& e : errno_names)
        if (e.number == error) return e.name;
    return std::to_string(error);
}

int ErrnoFromName(std::string const& name) {
    for (ErrnoEntry const& e : errno_names)
        if (name == e.name) return e.number;
    char* end = nullptr;
    long const n = std::strtol(name.c_str(), &end, 10);
    return (!name.empty() && *end == '\0' && n > 0 && n < 4096) ? int(n) : 0;
}

}  // namespace SimBoard
