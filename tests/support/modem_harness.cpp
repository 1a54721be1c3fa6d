#include "tests/support/modem_harness.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "tests/support/board_tool.h"
#include "tests/support/private_network.h"
#include "tests/support/script.h"

#include "slots/modem_factory.h"
#include "slots/ppp_helper_frame.h"

namespace support {

namespace {

using Clock = std::chrono::steady_clock;

int remaining_ms(Clock::time_point end) {
    auto const left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    return left.count() > 0 ? int(left.count()) : 0;
}

void make_dirs(std::string const& file) {
    for (size_t at = file.find('/', 1); at != std::string::npos; at = file.find('/', at + 1))
        ::mkdir(file.substr(0, at).c_str(), 0755);
}

}  // namespace

char const modem_on_trunk[] = R"(
    > { seq 1, slot 1, pdu command : create : trunk : { trunk 0, timeslot 1 } }
    < { seq 1, slot 1, pdu response : success : NULL }
    < { slot 1, pdu signal : transmitter : active : 1 }
    < { slot 1, pdu signal : receiver : active : 1 }
    > { seq 2, slot 2, pdu command : create : modem : { cid "", cdid "" } }
    < { seq 2, slot 2, pdu response : success : NULL }
    > { seq 3, slot 1, pdu command : connect : 2 }
    < { slot 2, pdu signal : transmitter : active : 512 }
    < { slot 2, pdu signal : receiver : active : 512 }
    < { seq 3, slot 1, pdu response : success : NULL }
)";

Bytes authFrame(uint32_t session, std::string const& user, std::string const& password) {
    PppHelper::Bytes const frame = PppHelper::AuthRequestFrame(session, {user, password});
    return Bytes(frame.begin(), frame.end());
}

Standins::Standins(std::string const& root) : root_(root) {
    ::mkdir((root_ + "/standins").c_str(), 0755);
    for (char const* program : {pppd_program, fax_transfer_program, fax_receiver_program}) {
        std::string const target = path(program);
        make_dirs(target);
        ::unlink(target.c_str());
        ::symlink(MOBREL_MODEM_STANDIN, target.c_str());
    }
}

Standins::~Standins() {
    for (StandinRun const& run : runs()) signalGroup(run.pid, SIGKILL);
}

void Standins::tell(char const* program, std::string const& actions) const {
    std::ofstream(path(program) + ".do", std::ios::trunc) << actions;
}

std::vector<StandinRun> Standins::runs() const {
    std::vector<StandinRun> found;
    std::istringstream lines(readFile(root_ + "/standins/runs"));
    for (std::string line; std::getline(lines, line);) {
        StandinRun run{0, {}};
        std::istringstream fields(line);
        std::string field;
        std::getline(fields, field, '\t');
        run.pid = pid_t(std::stol(field));
        while (std::getline(fields, field, '\t')) run.args.push_back(field);
        found.push_back(run);
    }
    return found;
}

bool Standins::waitRuns(size_t count, std::chrono::milliseconds bound) const {
    return waitFor([&] { return runs().size() >= count; }, bound);
}

std::string Standins::log(pid_t pid) const {
    return readFile(root_ + "/standins/" + std::to_string(pid) + ".log");
}

bool Standins::logHas(pid_t pid, std::string const& text, std::chrono::milliseconds bound) const {
    return waitFor([&] { return log(pid).find(text) != std::string::npos; }, bound);
}

bool startHoldingHelperPort(ServerProcess& server, std::chrono::milliseconds bound) {
    std::string const refused = claimLoopbackPort(ModemFactory::helper_port, bound);
    if (!refused.empty()) {
        ADD_FAILURE() << refused;
        return false;
    }
    return server.start() &&
           !server.errHas("fail to bind auth socket", std::chrono::milliseconds(0));
}

ModemServer::ModemServer(std::string const& board, bool helper_port) : standins(server.root()) {
    if (!board.empty()) describeBoard(server.root(), board);
    EXPECT_TRUE(helper_port ? startHoldingHelperPort(server) : server.start());
    EXPECT_TRUE(controller.connect(server.port()));
    EXPECT_EQ(nextMessage(controller), "{ pdu signal : power : both }");
}

void ModemServer::run(std::string const& script) { runScript(server, controller, script); }

std::string ModemServer::board(std::string const& command) const {
    return std::regex_replace(boardTool(server.root(), command), std::regex("#[0-9]+"), "#N");
}

std::vector<std::string> ModemServer::args(size_t run) const {
    EXPECT_TRUE(standins.waitRuns(run + 1));
    auto const runs = standins.runs();
    return run < runs.size() ? runs[run].args : std::vector<std::string>{};
}

HelperConnection::~HelperConnection() { close(); }

void HelperConnection::close() {
    if (fd_ < 0) return;
    linger const abort_on_close{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort_on_close, sizeof(abort_on_close));
    ::close(fd_);
    fd_ = -1;
}

bool HelperConnection::connect(std::chrono::milliseconds bound) {
    return waitFor(
        [&] {
            close();
            fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in sa{};
            sa.sin_family = AF_INET;
            sa.sin_port = htons(ModemFactory::helper_port);
            sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            return ::connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) == 0;
        },
        bound);
}

void HelperConnection::send(std::vector<unsigned char> const& bytes) const {
    ssize_t const done = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    (void)done;
}

std::vector<unsigned char> HelperConnection::read(size_t count, std::chrono::milliseconds bound) {
    std::vector<unsigned char> got;
    auto const end = Clock::now() + bound;
    while (got.size() < count) {
        pollfd entry{fd_, POLLIN, 0};
        if (::poll(&entry, 1, remaining_ms(end)) <= 0) break;
        unsigned char buffer[1024];
        size_t const want = std::min(sizeof(buffer), count - got.size());
        ssize_t const n = ::recv(fd_, buffer, want, 0);
        if (n <= 0) break;
        got.insert(got.end(), buffer, buffer + n);
    }
    return got;
}

bool HelperConnection::closedByPeer(std::chrono::milliseconds bound) {
    pollfd entry{fd_, POLLIN, 0};
    if (::poll(&entry, 1, int(bound.count())) <= 0) return false;
    unsigned char byte;
    return ::recv(fd_, &byte, 1, 0) <= 0;
}

}  // namespace support
