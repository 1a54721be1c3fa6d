#pragma once
// StreamCapture takes over a standard stream while it lives and keeps what is
// written to it, line by line with the time each line was ended, so that a
// test can compare the whole text or time the lines.

#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "tests/support/loop.h"

namespace support {

class StreamCapture : public std::streambuf {
public:
    struct Line {
        Clock::time_point when;
        std::string text;
    };

    explicit StreamCapture(std::ostream& os);
    StreamCapture(StreamCapture const&) = delete;
    StreamCapture& operator=(StreamCapture const&) = delete;
    ~StreamCapture() override;

    // Every line, each ended with a newline, and then what follows the last.
    std::string text() const;
    std::vector<Line> const& lines() const { return lines_; }
    // The lines that begin with one of the prefixes, in order.
    std::vector<Line> starting(std::vector<std::string> const& prefixes) const;

protected:
    int overflow(int c) override;

private:
    std::ostream& os_;
    std::streambuf* saved_;
    std::vector<Line> lines_;
    std::string pending_;
};

// The milliseconds between each line and the next.
std::vector<long> gapsMs(std::vector<StreamCapture::Line> const& lines);

}  // namespace support
