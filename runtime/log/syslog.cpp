#include "runtime/log/syslog.h"

#include <fcntl.h>
#include <syslog.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "runtime/system/clock.h"
#include "runtime/system/platform_path.h"

namespace {

char const default_tag[] = "syslog-qx";
char const log_socket_path[] = "/dev/log";
char const console_path[] = "/dev/console";
constexpr int facility_field = 0x3f8;
constexpr size_t record_limit = SysLogManager::record_capacity - 1;

// A send that fails for one of these reasons may succeed on a new
// connection: the log daemon went away or was restarted.
bool peer_gone(int error) {
    switch (error) {
        case ECONNREFUSED:
        case ECONNRESET:
        case ENOTCONN:
        case EPIPE:
        case EDESTADDRREQ:
        case EBADF:
        case ENOENT:
            return true;
        default:
            return false;
    }
}

}  // namespace

SysLogManager::SysLogManager() : type_(SOCK_DGRAM), tag_(default_tag) {}

SysLogManager& syslogManager() {
    static SysLogManager* const manager = new SysLogManager();
    return *manager;
}

void SysLogManager::openlog(char const* ident, int options, int facility) {
    openlog_internal(ident, options, facility);
}

void SysLogManager::closelog() {
    closelog_internal();
    tag_ = default_tag;
    type_ = SOCK_DGRAM;
    batch_length_ = 0;
    count_ = 0;
}

void SysLogManager::openlog_internal(char const* ident, int options, int facility) {
    if (ident != nullptr) tag_ = ident;
    options_ = options;
    if (facility != 0 && (facility & ~facility_field) == 0) facility_ = facility;

    for (int attempt = 0; attempt < 2; ++attempt) {
        if (fd_ == -1) {
            if (!(options_ & LOG_NDELAY)) return;
            fd_ = ::socket(AF_UNIX, type_ | SOCK_CLOEXEC, 0);
            if (fd_ == -1) return;
        }
        if (connected_) return;

        sockaddr_un address;
        std::memset(&address, 0, sizeof(address));
        address.sun_family = AF_UNIX;
        std::string const path = Platform::path(log_socket_path);
        // A path that does not fit is refused rather than cut to another name.
        int error = ENAMETOOLONG;
        if (path.size() < sizeof(address.sun_path)) {
            std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
            if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
                connected_ = true;
                if (mirror_) place_on_std_descriptors();
                return;
            }
            error = errno;
        }
        ::close(fd_);
        fd_ = -1;
        if (error != EPROTOTYPE) return;
        type_ = type_ == SOCK_DGRAM ? SOCK_STREAM : SOCK_DGRAM;
    }
}

void SysLogManager::closelog_internal() {
    if (!connected_) return;
    ::close(fd_);
    fd_ = -1;
    connected_ = false;
}

void SysLogManager::mirror_std_descriptors(bool on) {
    mirror_ = on;
    if (on && fd_ >= 0) place_on_std_descriptors();
}

void SysLogManager::place_on_std_descriptors() {
    if (fd_ != 1) ::dup2(fd_, 1);
    if (fd_ != 2) ::dup2(fd_, 2);
}

void SysLogManager::syslog(int priority, char const* format, ...) {
    va_list args;
    va_start(args, format);
    vsyslog(priority, format, args);
    va_end(args);
}

void SysLogManager::vsyslog(int priority, char const* format, va_list args) {
    if (!begin_record(priority)) return;
    size_t const room = record_limit - length_;
    int const n = std::vsnprintf(record_ + length_, room + 1, format, args);
    if (n > 0) length_ += std::min(size_t(n), room);
    finish_record();
}

void SysLogManager::record(int priority, char const* text, size_t length) {
    if (!begin_record(priority)) return;
    append(text, length);
    finish_record();
}

bool SysLogManager::begin_record(int priority) {
    if (!(mask_ & (1 << (priority & 7)))) return false;
    if ((priority & facility_field) == 0) priority |= facility_;

    length_ = 0;
    record_[0] = '\0';
    appendf("<%d>", priority);
    time_t const now = Mux::seconds();
    struct tm local;
    localtime_r(&now, &local);
    char stamp[64];
    size_t const stamp_length = strftime(stamp, sizeof(stamp), "%h %e %T ", &local);
    append(stamp, stamp_length);
    tag_offset_ = length_;
    if (!tag_.empty()) append(tag_.data(), tag_.size());
    if (options_ & LOG_PID) appendf("[%d]", int(::getpid()));
    if (!tag_.empty()) append(": ", 2);
    return true;
}

void SysLogManager::append(char const* text, size_t length) {
    size_t const n = std::min(length, record_limit - length_);
    std::memcpy(record_ + length_, text, n);
    length_ += n;
    record_[length_] = '\0';
}

void SysLogManager::appendf(char const* format, ...) {
    size_t const room = record_limit - length_;
    va_list args;
    va_start(args, format);
    int const n = std::vsnprintf(record_ + length_, room + 1, format, args);
    va_end(args);
    if (n > 0) length_ += std::min(size_t(n), room);
}

void SysLogManager::finish_record() {
    if (options_ & LOG_PERROR) {
        iovec parts[2];
        parts[0].iov_base = record_ + tag_offset_;
        parts[0].iov_len = length_ - tag_offset_;
        parts[1].iov_base = const_cast<char*>("\n");
        parts[1].iov_len = 1;
        bool const has_newline = length_ > 0 && record_[length_ - 1] == '\n';
        (void)!::writev(2, parts, has_newline ? 1 : 2);
    }
    if (!connected_) openlog_internal(nullptr, options_ | LOG_NDELAY, 0);

    record_[length_] = '\0';
    size_t const with_zero = length_ + 1;
    if (connected_ && sendmsg_internal(record_, with_zero) >= 0) return;
    if (connected_) {
        closelog_internal();
        openlog_internal(nullptr, options_ | LOG_NDELAY, 0);
        if (connected_ && sendmsg_internal(record_, with_zero) >= 0) return;
    }
    closelog_internal();
    if (options_ & LOG_CONS) write_console();
}

void SysLogManager::write_console() {
    int const console =
        ::open(Platform::path(console_path).c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (console < 0) return;
    dprintf(console, "%s\r\n", record_ + tag_offset_);
    ::close(console);
}

int SysLogManager::sendmsg_internal(char const* record, size_t length) {
    if (record == nullptr || length == 0) return 0;
    if (batch_length_ + length >= batch_capacity || count_ >= max_records) {
        // No room left: the batch goes first, then the record joins the
        // emptied batch instead of being dropped.
        int const sent = sendmsg();
        if (sent < 0) return sent;
    }
    char* const copy = batch_ + batch_length_;
    std::memcpy(copy, record, length);
    table_[count_].iov_base = copy;
    table_[count_].iov_len = length;
    ++count_;
    batch_length_ += length;
    if (count_ >= max_records || batch_length_ > batch_send_above) return sendmsg();
    return 0;
}

int SysLogManager::sendmsg() {
    if (batch_length_ == 0 || count_ == 0) return 0;
    int result = 0;
    if (fd_ >= 0) {
        result = transmit();
        if (result < 0 && peer_gone(errno)) {
            // The log daemon went away: connect to its new socket and send
            // the batch once more.
            int const saved_options = options_;
            closelog_internal();
            openlog_internal(nullptr, saved_options | LOG_NDELAY, 0);
            options_ = saved_options;
            if (connected_) result = transmit();
        }
    }
    batch_length_ = 0;
    count_ = 0;
    return result;
}

int SysLogManager::transmit() {
    msghdr header;
    std::memset(&header, 0, sizeof(header));
    header.msg_iov = table_;
    header.msg_iovlen = count_;
    int result;
    do {
        result = int(::sendmsg(fd_, &header, MSG_NOSIGNAL));
    } while (result < 0 && errno == EINTR);
    return result;
}
