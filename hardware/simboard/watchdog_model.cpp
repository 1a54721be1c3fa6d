#include "hardware/simboard/watchdog_model.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

namespace SimBoard {

namespace {

char const start_word[] = "START";
char const ping_word[] = "PING";
char const stop_word[] = "STOP";

bool starts_with(std::string const& text, char const* word) {
    return text.compare(0, std::strlen(word), word) == 0;
}

// Whether the text could still become the word as more bytes come.
bool begins(char const* word, std::string const& text) {
    return text.size() < std::strlen(word) && std::strncmp(word, text.c_str(), text.size()) == 0;
}

}  // namespace

std::vector<Request> const& WatchdogModel::requests() const {
    static std::vector<Request> const none;
    return none;
}

bool WatchdogModel::make_file(std::string const& file) {
    ::unlink(file.c_str());
    if (::mkfifo(file.c_str(), 0644) != 0) {
        Errno const error;
        std::cerr << "simulated board: no watchdog at " << file << ": " << error << std::endl;
        return true;
    }
    // The loop opens the watchdog once, when it starts: the pipe read here
    // stays the one it writes to when the file is made again later (its
    // writes would fail without a reader).
    if (event_.IsActive()) return true;
    Fd reader;
    if (!reader.open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC) ||
        !keeper_.open(file.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) {
        Errno const error;
        std::cerr << "simulated board: cannot read the watchdog " << file << ": " << error
                  << std::endl;
        return true;
    }
    event_.Bind("simulated board watchdog", &WatchdogModel::on_readable, this);
    event_.Schedule(reader, POLLIN);
    return true;
}

void WatchdogModel::on_readable(int fd, short revents) {
    if (!(revents & POLLIN)) return;
    char buffer[512];
    ssize_t const got = ::read(fd, buffer, sizeof(buffer));
    if (got <= 0) return;
    pending_.append(buffer, size_t(got));
    take_words();
}

void WatchdogModel::take_words() {
    while (!pending_.empty()) {
        char const* word = nullptr;
        if (starts_with(pending_, start_word)) {
            word = start_word;
            state_ = State::started;
            ++starts_;
        } else if (starts_with(pending_, ping_word)) {
            word = ping_word;
            ++pings_;
        } else if (starts_with(pending_, stop_word)) {
            word = stop_word;
            state_ = State::stopped;
        } else if (begins(start_word, pending_) || begins(ping_word, pending_) ||
                   begins(stop_word, pending_)) {
            return;
        }
        if (word) {
            pending_.erase(0, std::strlen(word));
        } else {
            pending_.erase(0, 1);
            ++unknown_bytes_;
        }
    }
}

void WatchdogModel::command(Words const& words, std::ostream& out) {
    if (words.size() == 2 && words[1] == "help") {
        out << "watchdog                                the watchdog: not started, started or "
               "stopped, with its pings\n";
        return;
    }
    if (words.size() != 1) {
        out << "error: watchdog takes no argument (try help)\n";
        return;
    }
    // What the loop wrote since the last look.
    if (event_.IsActive()) on_readable(event_.lowlevel_fd(), POLLIN);
    char const* const state = state_ == State::started   ? "started"
                              : state_ == State::stopped ? "stopped"
                                                         : "not started";
    out << path() << ' ' << state << ", starts " << starts_ << ", pings " << pings_;
    if (unknown_bytes_) out << ", bytes not understood " << unknown_bytes_;
    out << '\n';
}

}  // namespace SimBoard
