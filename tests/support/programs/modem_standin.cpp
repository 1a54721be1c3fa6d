// The stand-in for the programs that modem slots start: the PPP daemon, the
// fax transfer and the fax receiver. The tests install it under MOBREL_ROOT
// at each program's path. It puts itself in a process group of its own,
// appends "<pid>\t<argv[0]>\t<argv[1]>..." to $MOBREL_ROOT/standins/runs,
// then follows the lines of "<argv[0]>.do", one action a line:
//
//   ignore-hup      SIGHUP is noted but does not end it
//   hup-exit MS     SIGHUP ends it MS ms later
//   send HEX...     connects to the PPP helper port 127.0.0.1:52000 (once)
//                   and writes these bytes in one write
//   pause MS        waits that long
//   exit CODE       ends with that exit status
//
// and then waits: for SIGHUP, which ends it with status 0, and for frames
// from the helper port. What it sees goes to $MOBREL_ROOT/standins/<pid>.log,
// a line each: "actions done" once it has followed them all, "hup",
// "received XX XX ...". It ends by itself after 60 s at
// the latest, so that nothing outlives a test that went wrong.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string root;
std::string log_path;
volatile sig_atomic_t ignore_hup = 0;
volatile sig_atomic_t hup_exit_ms = 0;
int helper = -1;

void append(std::string const& path, std::string const& text) {
    int const fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd < 0) return;
    ssize_t const done = ::write(fd, text.data(), text.size());
    (void)done;
    ::close(fd);
}

void on_hup(int) {
    append(log_path, ignore_hup ? "hup ignored\n" : "hup\n");
    if (ignore_hup) return;
    timespec const delay{hup_exit_ms / 1000, long(hup_exit_ms % 1000) * 1000000};
    ::nanosleep(&delay, nullptr);
    ::_exit(0);
}

bool connect_helper() {
    if (helper >= 0) return true;
    helper = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(52000);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(helper, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) != 0) {
        append(log_path, std::string("connect failed: ") + std::strerror(errno) + "\n");
        return false;
    }
    // Closed with a reset, so no end of the connection waits in TIME_WAIT on
    // the server's port.
    linger const abort_on_close{1, 0};
    ::setsockopt(helper, SOL_SOCKET, SO_LINGER, &abort_on_close, sizeof(abort_on_close));
    return true;
}

void send_bytes(std::istringstream& words) {
    std::string bytes;
    for (std::string pair; words >> pair;) bytes += char(std::stoul(pair, nullptr, 16));
    if (!connect_helper()) return;
    ssize_t const done = ::send(helper, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    (void)done;
}

void run_actions(std::string const& path) {
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string verb;
        words >> verb;
        if (verb == "ignore-hup") {
            ignore_hup = 1;
        } else if (verb == "hup-exit") {
            int ms = 0;
            words >> ms;
            hup_exit_ms = ms;
        } else if (verb == "send") {
            send_bytes(words);
        } else if (verb == "pause") {
            int ms = 0;
            words >> ms;
            ::usleep(unsigned(ms) * 1000);
        } else if (verb == "exit") {
            int code = 0;
            words >> code;
            if (helper >= 0) ::close(helper);
            std::exit(code);
        }
    }
}

void wait_for_the_end() {
    for (;;) {
        if (helper < 0) {
            ::pause();
            continue;
        }
        pollfd entry{helper, POLLIN, 0};
        if (::poll(&entry, 1, -1) <= 0) continue;
        unsigned char buffer[1024];
        ssize_t const got = ::recv(helper, buffer, sizeof(buffer), 0);
        if (got <= 0) {
            append(log_path, "helper closed\n");
            ::close(helper);
            helper = -1;
            continue;
        }
        std::string line = "received";
        char hex[4];
        for (ssize_t i = 0; i < got; ++i) {
            std::snprintf(hex, sizeof(hex), " %02X", buffer[i]);
            line += hex;
        }
        append(log_path, line + "\n");
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::setpgid(0, 0);
    ::alarm(60);
    char const* const env = std::getenv("MOBREL_ROOT");
    if (!env || argc < 1) return 0;
    root = env;
    log_path = root + "/standins/" + std::to_string(::getpid()) + ".log";
    struct sigaction action {};
    action.sa_handler = on_hup;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGHUP, &action, nullptr);

    std::string run = std::to_string(::getpid());
    for (int i = 0; i < argc; ++i) run += std::string("\t") + argv[i];
    append(root + "/standins/runs", run + "\n");
    run_actions(std::string(argv[0]) + ".do");
    append(log_path, "actions done\n");
    wait_for_the_end();
}
