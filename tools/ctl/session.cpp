#include "tools/ctl/session.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <sstream>

#include "tools/ctl/message_text.h"

namespace Ctl {

namespace {

constexpr char const* program = "mobrel-ctl: ";

int remainingMs(std::chrono::steady_clock::time_point now,
                std::chrono::steady_clock::time_point end) {
    if (now >= end) return 0;
    auto const left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count();
    // Rounded up, so the wait never ends a moment early; poll takes an int.
    return int(std::min<decltype(left)>(left, INT_MAX - 1)) + 1;
}

std::string plural(unsigned n, char const* word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

}  // namespace

Session::Session(Options const& options, int input, std::ostream& out, std::ostream& err)
    : options_(options), input_(input), out_(out), err_(err), start_(Clock::now()) {}

double Session::seconds() const {
    return std::chrono::duration<double>(Clock::now() - start_).count();
}

void Session::failed(std::string const& what) {
    err_ << program << what << std::endl;
    failed_ = true;
}

bool Session::connect() {
    std::string const peer = options_.host + ":" + std::to_string(options_.port);
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    int const rc = ::getaddrinfo(options_.host.c_str(), nullptr, &hints, &found);
    if (rc != 0 || !found) {
        err_ << program << "cannot find host " << options_.host << ": " << ::gai_strerror(rc)
             << std::endl;
        return false;
    }
    sockaddr_in address{};
    std::memcpy(&address, found->ai_addr, std::min(sizeof(address), size_t(found->ai_addrlen)));
    ::freeaddrinfo(found);
    address.sin_port = htons(static_cast<uint16_t>(options_.port));

    socket_ = Fd(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    // With a standard stream closed the socket would take its number, and
    // text meant for the terminal would go to the server.
    if (socket_.is_valid() && socket_.lowlevel_fd() <= STDERR_FILENO)
        socket_ = Fd(::fcntl(socket_.lowlevel_fd(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1));
    if (!socket_.is_valid() ||
        ::connect(socket_.lowlevel_fd(), reinterpret_cast<sockaddr const*>(&address),
                  sizeof(address)) != 0 ||
        !socket_.NonBlock()) {
        Errno const error;
        err_ << program << "cannot connect to " << peer << ": " << error << std::endl;
        return false;
    }
    connection_open_ = true;
    return true;
}

void Session::queue(std::string const& text, std::string const& label, unsigned first_line) {
    Encoded const encoded = encodeMessage(text, first_line);
    if (!encoded.error.empty()) {
        failed(label + ": " + encoded.error);
        return;
    }
    Bytes const frame = Tpkt::Frame(encoded.payload);
    output_.insert(output_.end(), frame.begin(), frame.end());
    queued_bytes_ += frame.size();
    frame_ends_.push_back(queued_bytes_);
}

void Session::readInput() {
    char buffer[65536];
    ssize_t const got = ::read(input_, buffer, sizeof(buffer));
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (got < 0) {
        // What was read so far still goes out; the rest is lost.
        Errno const cause;
        std::ostringstream error;
        error << "cannot read standard input: " << cause;
        failed(error.str());
    }
    if (got > 0) {
        splitter_.feed(std::string(buffer, std::size_t(got)));
    } else {
        input_open_ = false;
    }
    while (auto message = splitter_.next()) queueInput(*message);
    if (input_open_) return;
    if (auto message = splitter_.finish()) queueInput(*message);
}

void Session::queueInput(MessageText const& message) {
    queue(message.text, "standard input, message at line " + std::to_string(message.line),
          message.line);
}

bool Session::receive() {
    unsigned char buffer[65536];
    ssize_t const got = ::recv(socket_.lowlevel_fd(), buffer, sizeof(buffer), 0);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    if (got < 0) {
        Errno const error;
        err_ << program << "connection lost: " << error << std::endl;
        return false;
    }
    if (got == 0) {
        err_ << program << "the server closed the connection" << std::endl;
        return false;
    }
    frames_.feed(buffer, std::size_t(got));
    while (auto payload = frames_.next()) {
        Decoded const message = decodeMessage(*payload);
        if (!message.ok) {
            err_ << program
                 << "received a frame that does not decode as an LGCP message: " << message.text
                 << std::endl;
            continue;
        }
        if (message.answer) ++answered_;
        if (!message.answer && !options_.signals) continue;
        out_ << stamped(seconds(), message.text) << std::endl;
    }
    if (std::size_t const skipped = frames_.takeSkipped())
        err_ << program << "skipped " << plural(unsigned(skipped), "byte")
             << " that do not start a TPKT frame" << std::endl;
    return true;
}

bool Session::flush() {
    ssize_t const put = ::send(socket_.lowlevel_fd(), output_.data(), output_.size(), MSG_NOSIGNAL);
    if (put < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    if (put < 0) {
        Errno const error;
        err_ << program << "connection lost: " << error << std::endl;
        return false;
    }
    output_.erase(output_.begin(), output_.begin() + put);
    written_bytes_ += std::size_t(put);
    while (!frame_ends_.empty() && frame_ends_.front() <= written_bytes_) {
        frame_ends_.pop_front();
        ++sent_;
    }
    return true;
}

int Session::closingTimeout(Clock::time_point now) {
    if (!sending_done_) {
        if (input_open_ || !output_.empty()) return -1;
        sending_done_ = true;
        sent_at_ = now;
    }
    if (!answers_done_) {
        if (answered_ < sent_) {
            int const left =
                remainingMs(now, sent_at_ + std::chrono::milliseconds(answer_bound_ms));
            if (left > 0) return left;
            failed(plural(sent_ - answered_, "message") + " of " + std::to_string(sent_) +
                   " got no answer within " + std::to_string(answer_bound_ms / 1000) + " s");
        }
        answers_done_ = true;
        answered_at_ = now;
    }
    return remainingMs(now, answered_at_ + std::chrono::milliseconds(options_.wait_ms));
}

Session::Status Session::run() {
    if (!connect()) return cannot_run;
    // A closed input is an empty one.
    input_open_ = options_.messages.empty() && ::fcntl(input_, F_GETFD) != -1;
    for (std::size_t i = 0; i < options_.messages.size(); ++i)
        queue(options_.messages[i], "argument " + std::to_string(i + 1));

    while (connection_open_) {
        int const timeout = closingTimeout(Clock::now());
        if (timeout == 0) break;
        pollfd fds[2] = {
            {socket_.lowlevel_fd(), short(POLLIN | (output_.empty() ? 0 : POLLOUT)), 0},
            {input_, POLLIN, 0}};
        bool const reading = input_open_ && output_.size() < output_high_water;
        int const ready = ::poll(fds, reading ? 2 : 1, timeout);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) {
            Errno const error;
            err_ << program << "poll failed: " << error << std::endl;
            break;
        }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) connection_open_ = receive();
        if (connection_open_ && (fds[0].revents & POLLOUT)) connection_open_ = flush();
        if (reading && fds[1].revents) readInput();
    }
    reportEnd();
    return failed_ ? message_failed : all_done;
}

void Session::reportEnd() {
    if (frames_.pending() > 0)
        err_ << program << "the connection ended inside a frame ("
             << plural(unsigned(frames_.pending()), "byte") << " left)" << std::endl;
    if (!frame_ends_.empty()) failed(plural(unsigned(frame_ends_.size()), "message") + " not sent");
    if (input_open_) failed("the rest of standard input was not read");
    if (!answers_done_ && answered_ < sent_)
        failed(plural(sent_ - answered_, "message") + " of " + std::to_string(sent_) +
               " got no answer");
}

}  // namespace Ctl
