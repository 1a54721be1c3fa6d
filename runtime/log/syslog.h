#pragma once
// The program's own syslog client. Records are formatted in the classic BSD
// form ("<priority>Mmm dd hh:mm:ss tag: text" and a zero byte), queued in
// one batch, and sent together as one datagram on the local syslog socket
// "/dev/log" (opened through Platform::path) when the batch is sent, so the
// lines of one flush of a log stream travel together. The daemon start opens
// it and feeds it through the log stream buffers (syslog_stream.h).
//
// There is one client, reached through syslogManager(); it is made on first
// use and never destroyed, so streams that feed it keep working while static
// objects are destroyed at exit.

#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/un.h>

#include <cstdarg>
#include <cstddef>
#include <string>

class SysLogManager {
public:
    static constexpr size_t record_capacity = 1024;  // 1023 characters and a zero byte
    static constexpr size_t batch_capacity = 16384;
    static constexpr size_t batch_send_above = 12288;  // three quarters of the batch
    static constexpr int max_records = 256;

    SysLogManager();
    SysLogManager(SysLogManager const&) = delete;
    SysLogManager& operator=(SysLogManager const&) = delete;

    // Sets tag, options (LOG_PID, LOG_CONS, LOG_NDELAY, LOG_PERROR) and
    // facility; with LOG_NDELAY connects at once.
    void openlog(char const* ident, int options, int facility);
    // Disconnects, restores the default tag and drops the queued records.
    void closelog();
    // Formats one record and queues it.
    void syslog(int priority, char const* format, ...) __attribute__((format(printf, 3, 4)));
    void vsyslog(int priority, char const* format, va_list args);
    // Queues one record whose message is the given text, taken as it stands.
    void record(int priority, char const* text, size_t length);
    // Sends the queued records as one message; returns the send's result.
    int sendmsg();
    int fd() const { return fd_; }

    // Keeps descriptors 1 and 2 on the syslog socket, also after the client
    // reconnects, so that raw writes to them (ours or a child's) still reach
    // the log daemon.
    void mirror_std_descriptors(bool on);

    std::string const& tag() const { return tag_; }
    bool connected() const { return connected_; }
    int queued_records() const { return count_; }

private:
    void openlog_internal(char const* ident, int options, int facility);
    void closelog_internal();
    bool begin_record(int priority);
    void append(char const* text, size_t length);
    void appendf(char const* format, ...) __attribute__((format(printf, 2, 3)));
    void finish_record();
    int sendmsg_internal(char const* record, size_t length);
    int transmit();
    void write_console();
    void place_on_std_descriptors();

    int type_;
    int fd_ = -1;
    bool connected_ = false;
    int options_ = 0;
    std::string tag_;
    int facility_ = 8;
    int mask_ = 0xff;
    bool mirror_ = false;

    char record_[record_capacity];
    size_t length_ = 0;
    size_t tag_offset_ = 0;

    char batch_[batch_capacity];
    size_t batch_length_ = 0;
    iovec table_[max_records];
    int count_ = 0;
};

// The process's one syslog client.
SysLogManager& syslogManager();
