#include "tests/support/capture.h"

namespace support {

StreamCapture::StreamCapture(std::ostream& os) : os_(os), saved_(os.rdbuf(this)) {}

StreamCapture::~StreamCapture() {
    os_.rdbuf(saved_);
}

std::string StreamCapture::text() const {
    std::string all;
    for (Line const& line : lines_) all += line.text + "\n";
    return all + pending_;
}

std::vector<StreamCapture::Line> StreamCapture::starting(
    std::vector<std::string> const& prefixes) const {
    std::vector<Line> out;
    for (Line const& line : lines_) {
        for (std::string const& prefix : prefixes) {
            if (line.text.compare(0, prefix.size(), prefix) != 0) continue;
            out.push_back(line);
            break;
        }
    }
    return out;
}

int StreamCapture::overflow(int c) {
    if (c == traits_type::eof()) return 0;
    if (c == '\n') {
        lines_.push_back({Clock::now(), pending_});
        pending_.clear();
    } else {
        pending_ += char(c);
    }
    return c;
}

std::vector<long> gapsMs(std::vector<StreamCapture::Line> const& lines) {
    std::vector<long> gaps;
    for (std::size_t i = 1; i < lines.size(); ++i)
        gaps.push_back(millisBetween(lines[i - 1].when, lines[i].when));
    return gaps;
}

}  // namespace support
