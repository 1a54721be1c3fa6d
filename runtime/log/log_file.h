#pragma once
// A stream buffer that writes the log streams to plain-text files, one per
// hour: "<directory>/YYYY_MM_DD-HH.log", each line prefixed with the minutes,
// seconds and microseconds of its time ("MM:SS:uuuuuu: "). Files are opened
// for appending, so a restart within the hour keeps what was written, and a
// new file is taken at the first line that starts in another hour or on
// another day. The daemon start installs it in log-file mode.

#include <sys/time.h>

#include <memory>
#include <streambuf>
#include <string>

#include "runtime/system/fd.h"

class LogFileStreamBuf : public std::streambuf {
public:
    // Reads the current wall-clock time; tests pass their own.
    using Clock = void (*)(::timeval& now);

    explicit LogFileStreamBuf(std::string const& directory, Clock clock = nullptr);
    ~LogFileStreamBuf() override;

    // Opens the file of the current hour.
    void NewFile();
    // The name of the open file, empty when it could not be opened.
    std::string const& file_name() const { return file_name_; }

protected:
    // Size below 2: nothing changes. Otherwise the pending text is written
    // and the given buffer, which the caller keeps alive, becomes the put
    // area.
    std::streambuf* setbuf(char* buffer, std::streamsize size) override;
    int sync() override;
    int_type overflow(int_type c) override;

private:
    void open_for(::timeval const& now);
    void write_out(char const* text, size_t length);

    Fd file_;
    std::string directory_;
    std::string file_name_;
    std::string period_;  // "YYYY_MM_DD-HH" of the open file
    bool mid_line_ = false;
    Clock clock_;
    std::unique_ptr<char[]> owned_;
};
