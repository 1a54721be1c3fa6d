#include "tests/support/harness.h"

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>

#include <iterator>

#include "asn1/asn1.h"

namespace support {

namespace {

using Clock = std::chrono::steady_clock;

std::chrono::milliseconds left(Clock::time_point end) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
}

}  // namespace

Bytes encode(LGCP::Message const& message) {
    std::vector<char> octets;
    ASN1::CoderEnv env;
    env.set_encodingRule(ASN1::CoderEnv::per_Aligned);
    ASN1::encode(message, &env, std::back_inserter(octets));
    return Bytes(octets.begin(), octets.end());
}

LGCP::Message ping(int seq) {
    LGCP::Message m;
    if (seq >= 0) m.set_seq(seq);
    m.set_pdu().select_command().select_ping();
    return m;
}

ServerProcess::ServerProcess() {
    root_.mkdirs("var/run");
    root_.mkdirs("var/log");
    root_.mkdirs("usr/local/etc");
}

ServerProcess::~ServerProcess() {
    if (signalProcess(pid_, SIGKILL)) ::waitpid(pid_, nullptr, 0);
}

void ServerProcess::spawn(std::vector<std::string> const& args) {
    Launch launch;
    launch.program = MOBREL_SERVER_BINARY;
    launch.args = args;
    launch.root = root();
    launch.output = root_.under("/out");
    launch.errors = root_.under("/err");
    pid_ = support::start(launch);
}

pid_t startServerOn(std::string const& root, int port, std::string const& name) {
    Launch launch;
    launch.program = MOBREL_SERVER_BINARY;
    launch.args = {"--port", std::to_string(port)};
    launch.root = root;
    launch.output = root + "/" + name + ".out";
    launch.errors = root + "/" + name + ".err";
    return support::start(launch);
}

bool ServerProcess::start() {
    port_ = freePort();
    spawn({"--port", std::to_string(port_)});
    return outHas("Starting server [");
}

int ServerProcess::wait(std::chrono::milliseconds bound) {
    if (pid_ <= 0) return -1;
    int const status = waitExit(pid_, bound);
    if (status >= 0) pid_ = -1;
    return status;
}

void ServerProcess::signal(int sig) const {
    signalProcess(pid_, sig);
}

bool ServerProcess::errHas(std::string const& text, std::chrono::milliseconds bound) const {
    return waitFor([&] { return err().find(text) != std::string::npos; }, bound);
}

bool ServerProcess::outHas(std::string const& text, std::chrono::milliseconds bound) const {
    return waitFor([&] { return out().find(text) != std::string::npos; }, bound);
}

void Controller::close() {
    socket_.close();
    frames_ = Tpkt::Frames();
}

bool Controller::connect(int port, std::chrono::milliseconds bound) {
    return waitFor(
        [&] {
            close();
            socket_ = connectTcp(port, rcvbuf_);
            return socket_.is_valid();
        },
        bound);
}

void Controller::send(Bytes const& bytes) const {
    ssize_t const sent = ::send(fd(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    (void)sent;
}

bool Controller::fill(std::chrono::milliseconds bound) {
    pollfd entry{fd(), POLLIN, 0};
    if (::poll(&entry, 1, int(bound.count())) <= 0) return false;
    unsigned char buf[65536];
    ssize_t const got = ::recv(fd(), buf, sizeof(buf), 0);
    if (got <= 0) return false;
    frames_.feed(buf, std::size_t(got));
    return true;
}

Bytes Controller::readFrame(bool& ok, std::chrono::milliseconds bound) {
    auto const end = Clock::now() + bound;
    for (;;) {
        if (auto payload = frames_.next()) {
            ok = true;
            return *payload;
        }
        ok = false;
        if (left(end).count() <= 0 || !fill(left(end))) return Bytes();
    }
}

void Controller::adopt(int fd) {
    close();
    socket_ = Fd(fd);
}

bool Controller::readMessage(LGCP::Message& message, std::chrono::milliseconds bound) {
    bool ok = false;
    Bytes const payload = readFrame(ok, bound);
    if (!ok) return false;
    ASN1::CoderEnv env;
    env.set_encodingRule(ASN1::CoderEnv::per_Aligned);
    char const* data = reinterpret_cast<char const*>(payload.data());
    LGCP::Message decoded;
    if (!ASN1::decode(data, data + payload.size(), &env, decoded, true)) return false;
    message = decoded;
    return true;
}

bool Controller::readAnswer(LGCP::Message& message, std::chrono::milliseconds bound) {
    auto const end = Clock::now() + bound;
    for (;;) {
        LGCP::Message decoded;
        if (!readMessage(decoded, left(end))) return false;
        if (decoded.get_pdu().signal_isSelected()) continue;
        message = decoded;
        return true;
    }
}

bool Controller::pingAnswered(int seq) {
    sendMessage(ping(seq));
    LGCP::Message answer;
    if (!readAnswer(answer)) return false;
    LGCP::Message success;
    success.set_seq(seq);
    success.set_pdu().select_response().select_success();
    return encode(answer) == encode(success);
}

bool Controller::closedByPeer(std::chrono::milliseconds bound) {
    auto const end = Clock::now() + bound;
    for (;;) {
        if (left(end).count() <= 0) return false;
        pollfd entry{fd(), POLLIN, 0};
        if (::poll(&entry, 1, int(left(end).count())) <= 0) continue;
        unsigned char buf[4096];
        ssize_t const got = ::recv(fd(), buf, sizeof(buf), 0);
        if (got <= 0) return true;
    }
}

bool Controller::quietFor(std::chrono::milliseconds time) {
    pollfd entry{fd(), POLLIN, 0};
    return ::poll(&entry, 1, int(time.count())) == 0;
}

}  // namespace support
