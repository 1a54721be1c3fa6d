#include "server_harness.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "asn1/asn1.h"

namespace harness {

using Clock = std::chrono::steady_clock;

Bytes hex(std::string const& text) {
    Bytes out;
    std::istringstream in(text);
    std::string pair;
    while (in >> pair) out.push_back(static_cast<unsigned char>(std::stoul(pair, nullptr, 16)));
    return out;
}

std::string text(Bytes const& bytes) {
    std::string out;
    char buf[4];
    for (unsigned char b : bytes) {
        std::snprintf(buf, sizeof(buf), "%02X", b);
        if (!out.empty()) out += ' ';
        out += buf;
    }
    return out;
}

Bytes encode(LGCP::Message const& message) {
    std::vector<char> octets;
    ASN1::CoderEnv env;
    env.set_encodingRule(ASN1::CoderEnv::per_Aligned);
    ASN1::encode(message, &env, std::back_inserter(octets));
    return Bytes(octets.begin(), octets.end());
}

Bytes frame(Bytes const& payload) {
    unsigned const length = unsigned(payload.size()) + 4;
    Bytes out(length);
    out[0] = 3;
    out[1] = 0;
    out[2] = static_cast<unsigned char>(length >> 8);
    out[3] = static_cast<unsigned char>(length);
    std::copy(payload.begin(), payload.end(), out.begin() + 4);
    return out;
}

LGCP::Message ping(int seq) {
    LGCP::Message m;
    if (seq >= 0) m.set_seq(seq);
    m.set_pdu().select_command().select_ping();
    return m;
}

bool waitFor(std::function<bool()> const& predicate, std::chrono::milliseconds bound) {
    auto const end = Clock::now() + bound;
    for (;;) {
        if (predicate()) return true;
        if (Clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string readFile(std::string const& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool fileExists(std::string const& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

int freePort() {
    int const fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof(sa));
    socklen_t size = sizeof(sa);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &size);
    ::close(fd);
    return ntohs(sa.sin_port);
}

ServerProcess::ServerProcess() {
    char dir[] = "/tmp/mobrel-server-XXXXXX";
    root_ = ::mkdtemp(dir);
    for (char const* sub : {"/var", "/var/run", "/var/log", "/usr", "/usr/local", "/usr/local/etc"})
        ::mkdir((root_ + sub).c_str(), 0755);
}

ServerProcess::~ServerProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    std::string const command = "rm -rf '" + root_ + "'";
    int const rc = std::system(command.c_str());
    (void)rc;
}

void ServerProcess::spawn(std::vector<std::string> const& args) {
    pid_ = ::fork();
    if (pid_ != 0) return;
    ::setenv("MOBREL_ROOT", root_.c_str(), 1);
    int const out = ::open((root_ + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int const err = ::open((root_ + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, 1);
    ::dup2(err, 2);
    std::vector<char*> argv;
    std::string const program = MOBREL_SERVER_BINARY;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (std::string const& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
}

bool ServerProcess::start() {
    port_ = freePort();
    spawn({"--port", std::to_string(port_)});
    return outHas("Starting server [");
}

int ServerProcess::wait(std::chrono::milliseconds bound) {
    int status = 0;
    bool const ended =
        waitFor([&] { return pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == pid_; }, bound);
    if (!ended) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void ServerProcess::signal(int sig) const {
    ::kill(pid_, sig);
}

bool ServerProcess::errHas(std::string const& text, std::chrono::milliseconds bound) const {
    return waitFor([&] { return err().find(text) != std::string::npos; }, bound);
}

bool ServerProcess::outHas(std::string const& text, std::chrono::milliseconds bound) const {
    return waitFor([&] { return out().find(text) != std::string::npos; }, bound);
}

Controller::~Controller() {
    close();
}

void Controller::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    pending_.clear();
}

bool Controller::connect(int port, std::chrono::milliseconds bound) {
    return waitFor(
        [&] {
            close();
            fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
            if (rcvbuf_ > 0) ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &rcvbuf_, sizeof(rcvbuf_));
            sockaddr_in sa{};
            sa.sin_family = AF_INET;
            sa.sin_port = htons(static_cast<uint16_t>(port));
            sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            return ::connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) == 0;
        },
        bound);
}

void Controller::adopt(int fd) {
    close();
    fd_ = fd;
}

void Controller::send(Bytes const& bytes) const {
    ssize_t const sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    (void)sent;
}

bool Controller::fill(std::chrono::milliseconds bound) {
    pollfd entry{fd_, POLLIN, 0};
    if (::poll(&entry, 1, int(bound.count())) <= 0) return false;
    unsigned char buf[65536];
    ssize_t const got = ::recv(fd_, buf, sizeof(buf), 0);
    if (got <= 0) return false;
    pending_.insert(pending_.end(), buf, buf + got);
    return true;
}

Bytes Controller::readFrame(bool& ok, std::chrono::milliseconds bound) {
    auto const end = Clock::now() + bound;
    ok = false;
    for (;;) {
        if (pending_.size() >= 4) {
            unsigned const length = unsigned(pending_[2]) << 8 | pending_[3];
            if (length >= 4 && pending_.size() >= length) {
                Bytes payload(pending_.begin() + 4, pending_.begin() + length);
                pending_.erase(pending_.begin(), pending_.begin() + length);
                ok = true;
                return payload;
            }
        }
        auto const left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0 || !fill(left)) return Bytes();
    }
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
        auto const left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        LGCP::Message decoded;
        if (!readMessage(decoded, left)) return false;
        if (decoded.get_pdu().signal_isSelected()) continue;
        message = decoded;
        return true;
    }
}

bool Controller::closedByPeer(std::chrono::milliseconds bound) {
    auto const end = Clock::now() + bound;
    for (;;) {
        auto const left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0) return false;
        pollfd entry{fd_, POLLIN, 0};
        if (::poll(&entry, 1, int(left.count())) <= 0) continue;
        unsigned char buf[4096];
        ssize_t const got = ::recv(fd_, buf, sizeof(buf), 0);
        if (got <= 0) return true;
    }
}

bool Controller::quietFor(std::chrono::milliseconds time) {
    pollfd entry{fd_, POLLIN, 0};
    return ::poll(&entry, 1, int(time.count())) == 0;
}

}  // namespace harness
