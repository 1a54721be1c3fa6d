#pragma once
// Stream buffers that turn a log stream into syslog records: the text
// written to the stream is cut into lines, each line becomes one record with
// the stream's priority (facility * 8 + level). ManagedSysLogStreamBuf, the
// one the daemon installs on its output, error and log streams, sends all
// lines of one flush together as one datagram through syslogManager();
// SysLogStreamBuf sends each line on its own.

#include <cstddef>
#include <memory>
#include <streambuf>

class SysLogStreamBuf : public std::streambuf {
public:
    static constexpr std::streamsize default_buffer = 1024;

    SysLogStreamBuf(int facility, int level);
    ~SysLogStreamBuf() override = default;

    int priority() const { return priority_; }

protected:
    // Size below 2: nothing changes. Otherwise the pending text is flushed
    // and the given buffer, which the caller keeps alive, becomes the put
    // area; its last character is kept for the zero byte written by sync.
    std::streambuf* setbuf(char* buffer, std::streamsize size) override;
    int sync() override;
    int_type overflow(int_type c) override;

    // Installs a buffer that this object owns.
    void install(std::streamsize size);
    // Hands each line of the pending text to emit(); returns whether the
    // text held a newline. With whole_if_full, text without a newline that
    // fills the put area goes out as one line.
    bool split_lines(bool whole_if_full);
    virtual void emit(char const* line, size_t length);

private:
    void use(char* buffer, std::streamsize size);

    int priority_;
    std::unique_ptr<char[]> owned_;
};

class ManagedSysLogStreamBuf : public SysLogStreamBuf {
public:
    static constexpr std::streamsize managed_buffer = 16384;

    ManagedSysLogStreamBuf(int facility, int level);
    ~ManagedSysLogStreamBuf() override = default;

protected:
    int sync() override;
    void emit(char const* line, size_t length) override;
};
