#pragma once
// The end of the line that reports a failed request to a DSP driver:
// ` errno="<the system's text>"`, written after the request's own words.

#include <cstring>
#include <ostream>

namespace Hardware {

struct RequestError {
    int error;
};

inline std::ostream& operator<<(std::ostream& os, RequestError const& e) {
    return os << " errno=\"" << std::strerror(e.error) << '"';
}

}  // namespace Hardware
