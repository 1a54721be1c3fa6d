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

std::vector<StreamCapture::Line> StreamCapture::starting(std::string const& prefix) const {
    std::vector<Line> out;
    for (Line const& line : lines_)
        if (line.text.compare(0, prefix.size(), prefix) == 0) out.push_back(line);
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

}  // namespace support
