#include "tests/support/board_tool.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <regex>

#include "tests/support/loop.h"
#include "tests/support/sockets.h"

namespace support {

void describeBoard(std::string const& root, std::string const& text) {
    ::mkdir((root + "/simboard").c_str(), 0755);
    std::ofstream(root + "/simboard/board.conf") << text;
}

std::string boardTool(std::string const& root, std::string const& command, int* status) {
    int out[2];
    if (::pipe(out) != 0) return "";
    pid_t const child = ::fork();
    if (child == 0) {
        if (root.empty())
            ::unsetenv("MOBREL_ROOT");
        else
            ::setenv("MOBREL_ROOT", root.c_str(), 1);
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::close(out[1]);
        ::execl("/bin/sh", "sh", "-c", (std::string(MOBREL_BOARD_TOOL) + " " + command).c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    std::string text;
    char buffer[65536];
    for (ssize_t got; (got = ::read(out[0], buffer, sizeof(buffer))) > 0;)
        text.append(buffer, size_t(got));
    ::close(out[0]);
    int wstatus = 0;
    ::waitpid(child, &wstatus, 0);
    if (status) *status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    return text;
}

Fd sendToBoard(std::string const& root, std::string const& text) {
    Fd client = connectUnix(root + "/simboard/control.sock");
    if (!client) return client;
    for (size_t at = 0; at < text.size();) {
        ssize_t const sent =
            ::send(client.lowlevel_fd(), text.data() + at, text.size() - at, MSG_NOSIGNAL);
        if (sent <= 0) return Fd();
        at += size_t(sent);
    }
    ::shutdown(client.lowlevel_fd(), SHUT_WR);
    return client;
}

std::string readToEnd(Fd const& fd, std::chrono::milliseconds bound) {
    std::string text;
    char buffer[65536];
    for (auto const end = Clock::now() + bound; Clock::now() < end;) {
        pollfd entry{fd.lowlevel_fd(), POLLIN, 0};
        if (::poll(&entry, 1, 50) <= 0) continue;
        ssize_t const got = ::recv(fd.lowlevel_fd(), buffer, sizeof(buffer), MSG_DONTWAIT);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) break;
        if (got > 0) text.append(buffer, size_t(got));
    }
    return text;
}

long peakMemoryKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, 6, "VmHWM:") == 0) return std::stol(line.substr(6));
    return -1;
}

namespace {

std::string join(std::string const& all, std::string const& one) {
    return all.empty() ? one : all + "; " + one;
}

}  // namespace

std::string boardLog(std::string const& root, std::string const& filter) {
    static std::regex const serial("#[0-9]+ ");
    return std::regex_replace(boardTool(root, "log " + filter), serial, " ");
}

std::string brief(LGCP::Message const& message) {
    std::string text;
    LGCP::PDU const& pdu = message.get_pdu();
    if (pdu.response_isSelected() && pdu.get_response().success_isSelected()) {
        text = "ok";
    } else if (pdu.response_isSelected() && pdu.get_response().error_isSelected()) {
        text = "error " + std::string(pdu.get_response().get_error().name());
    } else if (pdu.signal_isSelected() && pdu.get_signal().cas_isSelected()) {
        LGCP::CasSignalling const& cas = pdu.get_signal().get_cas();
        text = "cas " + std::to_string(cas.get_channel().get_path().getValue()) + "/" +
               std::to_string(cas.get_channel().get_timeslot().getValue()) + " rx " +
               std::to_string(cas.get_rx().getValue()) + " tx " +
               std::to_string(cas.get_tx().getValue());
    } else if (pdu.signal_isSelected() && pdu.get_signal().trunkStatus_isSelected()) {
        ACP::TrunkStatus const& s = pdu.get_signal().get_trunkStatus();
        text = std::string(s.get_type().name()) + " " + std::to_string(s.get_trunk().getValue()) +
               " " + std::string(s.get_state().name());
        for (ASN1::INTEGER const* n : {&s.get_slips(), &s.get_lossBF(), &s.get_lossCarrier(),
                                       &s.get_lossAIS(), &s.get_lossRAI()})
            text += " " + std::to_string(n->getValue());
        if (!s.get_name().empty()) text += " named";
        if (s.get_clockMaster()) text += " master";
    } else {
        text = message.asValueNotation();
    }
    if (message.seq_isPresent()) text += " seq " + std::to_string(message.get_seq().getValue());
    if (message.slot_isPresent()) text += " slot " + std::to_string(message.get_slot().getValue());
    return text;
}

size_t occurrences(std::string const& text, std::string const& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

std::string receive(Controller& controller, int count, std::chrono::milliseconds bound) {
    std::string all;
    LGCP::Message m;
    for (int i = 0; i < count && controller.readMessage(m, bound); ++i) all = join(all, brief(m));
    return all;
}

}  // namespace support
