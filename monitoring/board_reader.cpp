#include "monitoring/board_reader.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>

#include "hardware/device/device.h"
#include "hardware/device/hal_driver.h"
#include "hardware/device/netif_driver.h"
#include "hardware/device/record.h"
#include "monitoring/monitoring_files.h"
#include "runtime/system/platform_path.h"
#include "server/trace_ctl.h"

namespace {

char const hal_path[] = "/dev/hal";
char const config_directory[] = "/usr/local/etc";
char const config_prefix[] = "config.";
char const config_saved[] = "config.2save.tar.bz2";
char const framer_directory[] = "/proc/driver/hdlc/peb22554/";

std::string errno_text() {
    return std::strerror(errno);
}

}  // namespace

std::vector<std::string> const& BoardReader::interfaces() {
    static std::vector<std::string> const names = {"eth0", "hdlc0", "hdlc1", "hdlc2", "hdlc3"};
    return names;
}

bool BoardReader::ReadBounded(std::string const& path, std::string& text) {
    text.clear();
    // O_NONBLOCK: a FIFO in place of a file reads as empty instead of
    // holding the loop.
    Fd const file(::open(Platform::path(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file) {
        Failed(path, errno_text());
        return false;
    }
    char buffer[read_bound];
    size_t got = 0;
    while (got < sizeof(buffer)) {
        ssize_t const n = ::read(file.lowlevel_fd(), buffer + got, sizeof(buffer) - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) break;
        if (n < 0) {
            Failed(path, errno_text());
            return false;
        }
        if (n == 0) break;
        got += size_t(n);
    }
    Succeeded(path);
    text.assign(buffer, got);
    return true;
}

std::string BoardReader::FirstLine(char const* path) {
    std::string text;
    if (!ReadBounded(path, text)) return unknown_value;
    std::string const line = text.substr(0, text.find('\n'));
    Trace(path, line);
    return line;
}

std::vector<std::string> BoardReader::ConfigEntries() {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(Platform::path(config_directory).c_str()),
                                             ::closedir);
    if (!dir) {
        Failed(config_directory, errno_text());
        return {unknown_value};
    }
    Succeeded(config_directory);
    std::vector<std::string> names;
    size_t const prefix = std::strlen(config_prefix);
    while (dirent const* entry = ::readdir(dir.get())) {
        if (std::strncmp(entry->d_name, config_prefix, prefix) != 0 ||
            std::strcmp(entry->d_name, config_saved) == 0)
            continue;
        names.emplace_back(entry->d_name);
    }
    std::sort(names.begin(), names.end());
    if (names.size() > max_config_entries) names.resize(max_config_entries);
    std::string joined;
    for (std::string const& name : names) joined += (joined.empty() ? "" : " ") + name;
    Trace(config_directory, joined);
    return names;
}

std::string BoardReader::FramerStatus(int framer) {
    std::string const path = framer_directory + std::to_string(framer);
    std::string text;
    if (!ReadBounded(path, text)) return unknown_value;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    std::string status;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        status += text.substr(start, end - start) + "; ";
    status += text.substr(start);
    Trace(path, status);
    return status;
}

bool BoardReader::Hal() {
    if (hal_) return true;
    hal_ = Fd(Device::open(hal_path, O_RDWR | O_CLOEXEC));
    if (!hal_) {
        Failed(hal_path, "open: " + errno_text());
        return false;
    }
    Succeeded(hal_path);
    return true;
}

LGCP::POWERStatus::NamedNumber BoardReader::Power() {
    Device::PowerRecord record;
    if (!Hal()) return LGCP::POWERStatus::unknown;
    if (Device::ioctl(hal_.lowlevel_fd(), Device::HAL_POWER_STATUS, record.data()) < 0) {
        Failed("HAL_POWER_STATUS", errno_text());
        return LGCP::POWERStatus::unknown;
    }
    Succeeded("HAL_POWER_STATUS");
    using namespace Device::Panel;
    uint32_t const bits = record.get32(0) & (power_main | power_standby);
    LGCP::POWERStatus::NamedNumber const status =
        bits == (power_main | power_standby) ? LGCP::POWERStatus::both
        : bits == power_main                 ? LGCP::POWERStatus::main
        : bits == power_standby              ? LGCP::POWERStatus::standby
                                             : LGCP::POWERStatus::unknown;
    Trace("HAL_POWER_STATUS", std::to_string(bits));
    return status;
}

std::string BoardReader::DipSwitch() {
    Device::DipSwitchRecord record;
    if (!Hal()) return unknown_value;
    if (Device::ioctl(hal_.lowlevel_fd(), Device::HAL_DIP_SWITCH, record.data()) < 0) {
        Failed("HAL_DIP_SWITCH", errno_text());
        return unknown_value;
    }
    Succeeded("HAL_DIP_SWITCH");
    char text[8];
    std::snprintf(text, sizeof(text), "0x%02x", unsigned(record.get32(0) & 0xff));
    Trace("HAL_DIP_SWITCH", text);
    return text;
}

std::string BoardReader::InterfaceState(std::string const& name) {
    Device::Netif::FlagsRecord flags;
    if (Device::netif(name.c_str(), Device::Netif::get_flags, flags.data(), flags.size) < 0) {
        Failed(name, "SIOCGIFFLAGS: " + errno_text());
        return unknown_value;
    }
    Succeeded(name);
    std::string const state = flags.get16(0) & Device::Netif::up ? "up" : "down";
    Trace(name, state);
    return state;
}

bool BoardReader::SetLed(unsigned led, bool on) {
    Device::LedRecord record;
    record.put32(Device::Panel::led, led);
    record.put32(Device::Panel::on, on ? 1 : 0);
    if (!Hal()) return false;
    if (Device::ioctl(hal_.lowlevel_fd(), Device::HAL_LED_SET, record.data()) < 0) {
        std::cerr << "monitoring: HAL_LED_SET " << led << ": " << errno_text() << std::endl;
        return false;
    }
    if (traces.monitoring.internal)
        std::clog << "monitoring: LED " << led << (on ? " on" : " off") << std::endl;
    return true;
}

void BoardReader::Failed(std::string const& source, std::string const& reason) {
    if (failing_.insert(source).second)
        std::cerr << "monitoring: cannot read " << source << ": " << reason << std::endl;
}

void BoardReader::Succeeded(std::string const& source) {
    failing_.erase(source);
}

void BoardReader::Trace(std::string const& source, std::string const& value) const {
    if (traces.monitoring.internal)
        std::clog << "monitoring: read " << source << ": " << OneLine(value) << std::endl;
}
