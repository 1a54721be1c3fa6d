#pragma once
// Shared by the in-process tests of the tone and DSP receivers: running the
// main loop until a condition holds, and the board's log of one request.

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "board_root.h"
#include "runtime/loop/multiplexer.h"
#include "runtime/loop/timer.h"
#include "runtime/loop_support.h"

namespace receiver_test {

// Runs the loop until the condition holds, looking every millisecond; false
// when the bound passed first.
inline bool run_until(std::function<bool()> const& done, unsigned bound_ms = 3000) {
    struct Watch {
        std::function<bool()> done;
        Timer timer;
        void look() {
            if (done())
                Multiplexer::terminate();
            else
                timer.set(1, &Watch::look, this);
        }
    } watch{done, {}};
    watch.look();
    return loop_test::run_loop(bound_ms) && done();
}

// "DTMF_ENABLE_DETECTOR 3000 5" for each such request in the board's log.
inline std::vector<std::string> requests(std::string const& device, std::string const& name) {
    std::istringstream log(board_test::board("log " + device + " " + name));
    std::vector<std::string> lines;
    for (std::string line; std::getline(log, line);)
        lines.push_back(line.substr(line.find(' ') + 1));
    return lines;
}

}  // namespace receiver_test
