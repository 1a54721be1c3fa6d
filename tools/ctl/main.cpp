// mobrel-ctl: a command-line controller for the server's control port. Reads
// the options, then hands the messages to a session; see the usage text.

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "tools/ctl/session.h"

namespace {

char const usage[] =
    R"(Usage: mobrel-ctl [--host ADDRESS] --port N [--wait MS] [--no-signals] [MESSAGE...]

Sends LGCP messages written in value notation to the control port of a
mobrel server, each in a TPKT frame, and prints every answer and signal
that comes back in value notation, after the seconds since the start:
  mobrel-ctl --port 20001 '{ seq 1, pdu command : ping : NULL }'
  [  0.002] {
              seq 1,
              pdu response : success : NULL
            }

Each MESSAGE argument is one message. Without MESSAGE arguments the
messages are read from standard input and sent as they come. There a
message may span lines: it ends at the end of the line on which its braces
balance (braces inside "quoted strings" do not count), so one message per
line works and so does the form printed above. A blank line always ends a
message; blank lines between messages are skipped.

Text that does not read as a message, or that cannot be encoded, is
reported on the error stream (naming the argument, or the line of standard
input, and where reading stopped) and is not sent; the next message is sent
all the same.

After the last message (the last argument, or the end of standard input)
mobrel-ctl waits for the answers to the messages it sent (at most 5 s),
then stays connected MS more milliseconds printing signals, and closes.
It ends at once when the server closes the connection.

Options:
  --host ADDRESS  the server's IPv4 address or host name (default 127.0.0.1)
  -p, --port N    the server's control port (required)
  --wait MS       milliseconds to stay connected after the answers
                  (default 500)
  --no-signals    print only the answers, not the signals the server sends
                  meanwhile (trunk reports, CAS, ...)
  --help          print this text and exit

Exit status: 0 when every message was sent and answered; 1 when a message
did not read, could not be encoded, was not sent or got no answer; 2 for a
bad command line or when the server cannot be reached.
)";

int usageError(std::string const& what) {
    std::cerr << "mobrel-ctl: " << what << "\nTry 'mobrel-ctl --help'." << std::endl;
    return Ctl::Session::cannot_run;
}

// A whole decimal number from `low` to `high`.
bool parseNumber(char const* text, long low, long high, int& value) {
    char* end = nullptr;
    errno = 0;
    long const n = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || n < low || n > high) return false;
    value = int(n);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Ctl::Options options;
    for (int i = 1; i < argc; ++i) {
        std::string const arg = argv[i];
        if (arg == "--help") {
            std::cout << usage;
            return 0;
        }
        if (arg == "--no-signals") {
            options.signals = false;
            continue;
        }
        bool const takesValue =
            arg == "--host" || arg == "--port" || arg == "-p" || arg == "--wait";
        if (!takesValue) {
            if (arg.compare(0, 2, "--") == 0 || (arg.size() == 2 && arg[0] == '-' &&
                                                 std::isalpha(static_cast<unsigned char>(arg[1]))))
                return usageError("unknown option " + arg);
            options.messages.push_back(arg);
            continue;
        }
        if (i + 1 == argc) return usageError(arg + " needs a value");
        char const* value = argv[++i];
        if (arg == "--host") {
            options.host = value;
        } else if (arg == "--port" || arg == "-p") {
            if (!parseNumber(value, 1, 65535, options.port))
                return usageError(arg + " needs a number from 1 to 65535, not \"" +
                                  std::string(value) + "\"");
        } else if (!parseNumber(value, 0, INT_MAX, options.wait_ms)) {
            return usageError("--wait needs a number of milliseconds, not \"" + std::string(value) +
                              "\"");
        }
    }
    if (options.port == 0) return usageError("--port is required");

    Ctl::Session session(options, STDIN_FILENO, std::cout, std::cerr);
    return session.run();
}
