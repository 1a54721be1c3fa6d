#include "runtime/log/syslog_stream.h"

#include <cstring>

#include "runtime/log/syslog.h"

SysLogStreamBuf::SysLogStreamBuf(int facility, int level) : priority_(facility * 8 + level) {
    install(default_buffer);
}

void SysLogStreamBuf::install(std::streamsize size) {
    std::unique_ptr<char[]> buffer(new char[size]);
    use(buffer.get(), size);
    owned_ = std::move(buffer);
}

std::streambuf* SysLogStreamBuf::setbuf(char* buffer, std::streamsize size) {
    if (buffer == nullptr || size < 2) return this;
    use(buffer, size);
    owned_.reset();
    return this;
}

void SysLogStreamBuf::use(char* buffer, std::streamsize size) {
    if (pbase() != nullptr) sync();
    setp(buffer, buffer + size - 1);
}

bool SysLogStreamBuf::split_lines(bool whole_if_full) {
    char* const begin = pbase();
    char* const end = pptr();
    *end = '\0';
    size_t const length = size_t(end - begin);
    if (std::memchr(begin, '\n', length) == nullptr) {
        if (!whole_if_full || end != epptr()) return false;
        emit(begin, length);
    } else {
        char const* line = begin;
        while (line < end) {
            auto const* newline = static_cast<char const*>(std::memchr(line, '\n', end - line));
            if (newline == nullptr) {
                emit(line, size_t(end - line));
                break;
            }
            emit(line, size_t(newline - line));
            line = newline + 1;
        }
    }
    setp(begin, epptr());
    return true;
}

void SysLogStreamBuf::emit(char const* line, size_t length) {
    SysLogManager& manager = syslogManager();
    manager.record(priority_, line, length);
    manager.sendmsg();
}

int SysLogStreamBuf::sync() {
    if (pbase() != nullptr) split_lines(true);
    return 0;
}

SysLogStreamBuf::int_type SysLogStreamBuf::overflow(int_type c) {
    sync();
    if (traits_type::eq_int_type(c, traits_type::eof())) return 0;
    if (pptr() == nullptr || pptr() == epptr()) return traits_type::eof();
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

ManagedSysLogStreamBuf::ManagedSysLogStreamBuf(int facility, int level)
    : SysLogStreamBuf(facility, level) {
    install(managed_buffer);
}

void ManagedSysLogStreamBuf::emit(char const* line, size_t length) {
    syslogManager().record(priority(), line, length);
}

int ManagedSysLogStreamBuf::sync() {
    if (pbase() == nullptr) return 0;
    if (split_lines(true)) syslogManager().sendmsg();
    return 0;
}
