#include "runtime/log/log_file.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "runtime/system/clock.h"

namespace {

constexpr std::streamsize put_area = 16;

void wall_clock(::timeval& now) {
    Mux::gettimeval(now);
}

struct tm local_time(::timeval const& now) {
    time_t const seconds = now.tv_sec;
    struct tm local;
    localtime_r(&seconds, &local);
    return local;
}

std::string period_of(struct tm const& local) {
    char text[32];
    size_t const n = strftime(text, sizeof(text), "%Y_%m_%d-%H", &local);
    return std::string(text, n);
}

}  // namespace

LogFileStreamBuf::LogFileStreamBuf(std::string const& directory, Clock clock)
    : directory_(directory), clock_(clock ? clock : wall_clock) {
    owned_.reset(new char[put_area]);
    setp(owned_.get(), owned_.get() + put_area);
    NewFile();
    mid_line_ = false;
}

LogFileStreamBuf::~LogFileStreamBuf() {
    sync();
}

std::streambuf* LogFileStreamBuf::setbuf(char* buffer, std::streamsize size) {
    if (buffer == nullptr || size < 2) return this;
    if (pbase() != nullptr) sync();
    setp(buffer, buffer + size);
    owned_.reset();
    return this;
}

void LogFileStreamBuf::NewFile() {
    ::timeval now;
    clock_(now);
    open_for(now);
}

void LogFileStreamBuf::open_for(::timeval const& now) {
    file_.close();
    file_name_.clear();
    period_ = period_of(local_time(now));
    std::string const name = directory_ + "/" + period_ + ".log";
    file_ = Fd(::open(name.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    if (file_.is_valid()) file_name_ = name;
}

void LogFileStreamBuf::write_out(char const* text, size_t length) {
    if (!file_.is_valid()) return;
    while (length > 0) {
        ssize_t const n = ::write(file_.lowlevel_fd(), text, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        text += n;
        length -= size_t(n);
    }
}

int LogFileStreamBuf::sync() {
    char* const begin = pbase();
    if (begin == nullptr) return 0;
    char const* text = begin;
    char const* const end = pptr();
    setp(begin, epptr());

    if (mid_line_) {
        auto const* newline = static_cast<char const*>(std::memchr(text, '\n', end - text));
        if (newline == nullptr) {
            write_out(text, size_t(end - text));
            return 0;
        }
        write_out(text, size_t(newline + 1 - text));
        mid_line_ = false;
        text = newline + 1;
    }
    if (text == end) return 0;

    ::timeval now;
    clock_(now);
    struct tm const local = local_time(now);
    if (period_of(local) != period_) open_for(now);

    char prefix[32];
    int const prefix_length = std::snprintf(
        prefix, sizeof(prefix), "%02d:%02d:%06ld: ", local.tm_min, local.tm_sec, long(now.tv_usec));
    std::string out;
    while (text < end) {
        out.append(prefix, size_t(prefix_length));
        auto const* newline = static_cast<char const*>(std::memchr(text, '\n', end - text));
        if (newline == nullptr) {
            out.append(text, end);
            mid_line_ = true;
            break;
        }
        out.append(text, newline + 1);
        text = newline + 1;
    }
    write_out(out.data(), out.size());
    return 0;
}

LogFileStreamBuf::int_type LogFileStreamBuf::overflow(int_type c) {
    sync();
    if (traits_type::eq_int_type(c, traits_type::eof())) return 0;
    if (pptr() == nullptr || pptr() == epptr()) return traits_type::eof();
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}
