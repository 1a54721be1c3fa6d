#pragma once
// What the monitoring reads of the board: the version files, the names of
// the configuration entries, the temperature and the E1 framers' status
// text from /proc, the power supplies, the DIP switch and the network
// interfaces, and the framer LEDs it sets through /dev/hal. Every file is
// read up to a bound, never whole; a value that cannot be read is
// "unknown", told once on the error stream until it can be read again.
// The monitoring controller's periodic checks call it.

#include <set>
#include <string>
#include <vector>

#include "messages/lgcp/lgcp.h"
#include "runtime/system/fd.h"

inline constexpr char unknown_value[] = "unknown";

class BoardReader {
public:
    // Bytes read of a file at most; a longer file is cut there.
    static constexpr size_t read_bound = 4096;
    // Configuration entries taken at most, the first in sorted order: far
    // more than a board keeps.
    static constexpr size_t max_config_entries = 1024;
    static constexpr int framers = 4;
    // The interfaces checked: the Ethernet port and the E1 framers' HDLC
    // interfaces.
    static std::vector<std::string> const& interfaces();

    // The first line of a file under MOBREL_ROOT (without its newline, also
    // when the file has none).
    std::string FirstLine(char const* path);
    // The names of the entries of /usr/local/etc/ that begin with "config."
    // other than "config.2save.tar.bz2", sorted; a single "unknown" when the
    // directory cannot be read.
    std::vector<std::string> ConfigEntries();
    // The status text of one E1 framer, its lines joined by "; ".
    std::string FramerStatus(int framer);
    LGCP::POWERStatus::NamedNumber Power();
    // The DIP switches as "0x" and two hexadecimal digits.
    std::string DipSwitch();
    // "up" or "down" as the interface's IFF_UP flag says.
    std::string InterfaceState(std::string const& name);
    // Lights or puts out an LED of the panel; false when the driver refused.
    bool SetLed(unsigned led, bool on);

private:
    // The whole text of a file up to the bound; false when unreadable.
    bool ReadBounded(std::string const& path, std::string& text);
    // The open /dev/hal, opened when needed; false when it cannot be.
    bool Hal();
    // A source that cannot be read: one line until it can be again.
    void Failed(std::string const& source, std::string const& reason);
    void Succeeded(std::string const& source);
    void Trace(std::string const& source, std::string const& value) const;

    Fd hal_;
    std::set<std::string> failing_;
};
