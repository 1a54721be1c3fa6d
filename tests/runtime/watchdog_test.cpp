#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "runtime/loop/multiplexer.h"
#include "runtime/system/signal.h"
#include "tests/support/capture.h"
#include "tests/support/loop.h"
#include "tests/support/temp_root.h"

namespace {

using support::readFile;
using support::runLoop;
using support::StreamCapture;
using support::TempRoot;

class Watchdog : public ::testing::Test {
protected:
    std::string device() const { return root_.mkdirs("dev/misc") + "/gw-wd"; }
    // Runs the loop with the watchdog; false when the bound had to stop it.
    static bool run_watched(unsigned bound_ms) { return runLoop(bound_ms, true); }

    TempRoot root_;
};

// Reads the watchdog FIFO from inside the loop and notes when each PING
// arrives.
struct DeviceReader {
    explicit DeviceReader(std::string const& path)
        : fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {
        event.Bind("DeviceReader::OnData", &DeviceReader::OnData, this);
    }
    void start() { event.Schedule(fd, POLLIN); }
    void OnData(int descriptor, short revents) {
        if (!(revents & POLLIN)) return;
        char buf[64];
        ssize_t const n = ::read(descriptor, buf, sizeof buf);
        if (n > 0) text.append(buf, std::size_t(n));
        std::size_t pings = 0;
        for (auto at = text.find("PING"); at != std::string::npos; at = text.find("PING", at + 4))
            ++pings;
        while (ping_times.size() < pings) ping_times.push_back(std::chrono::steady_clock::now());
        if (on_data) on_data();
    }
    Fd fd;
    Event event;
    std::string text;
    std::vector<std::chrono::steady_clock::time_point> ping_times;
    std::function<void()> on_data;
};

// Wakes the loop every 700 ms, so that polls end between pings.
struct Busy {
    Busy() { timer.set(700, &Busy::Tick, this); }
    void Tick() { timer.set(700, &Busy::Tick, this); }
    Timer timer;
};

TEST_F(Watchdog, IsStartedPingedEverySecondAndStopped) {
    std::string const path = device();
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    DeviceReader reader(path);  // a reader first, so that the loop's open succeeds
    ASSERT_TRUE(reader.fd.is_valid());
    reader.start();
    reader.on_data = [&] {
        if (reader.ping_times.size() == 4) Multiplexer::terminate();
    };
    Busy busy;
    StreamCapture errors(std::cerr);
    EXPECT_TRUE(run_watched(8000));
    EXPECT_EQ(errors.text(), "");
    EXPECT_EQ(reader.text, "STARTPINGPINGPINGPING");
    for (std::size_t i = 1; i < reader.ping_times.size(); ++i) {
        auto const gap = std::chrono::duration_cast<std::chrono::milliseconds>(
                             reader.ping_times[i] - reader.ping_times[i - 1])
                             .count();
        EXPECT_GE(gap, 950) << "ping " << i;
        EXPECT_LE(gap, 1300) << "ping " << i;
    }
    char tail[16] = {};
    EXPECT_EQ(::read(reader.fd.lowlevel_fd(), tail, sizeof tail), 4);
    EXPECT_STREQ(tail, "STOP");
}

TEST_F(Watchdog, APlainFileReceivesTheWholeProtocol) {
    std::string const path = device();
    { std::ofstream create(path); }
    EXPECT_FALSE(run_watched(1200));
    std::string const written = readFile(path);
    EXPECT_TRUE(std::regex_match(written, std::regex("START(PING){1,3}STOP"))) << written;
}

TEST_F(Watchdog, AMissingDeviceIsReportedAndTheLoopRunsOn) {
    StreamCapture errors(std::cerr);
    EXPECT_FALSE(run_watched(50));
    EXPECT_EQ(errors.text(), "Mux: fail to open watchdog: No such file or directory\n");
    EXPECT_FALSE(Multiplexer::instance().watchdog_open());
}

TEST_F(Watchdog, ADeviceNobodyServesIsReportedInsteadOfBlockingTheLoop) {
    std::string const path = device();
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);  // a FIFO without a reader
    StreamCapture errors(std::cerr);
    EXPECT_FALSE(run_watched(50));
    EXPECT_EQ(errors.text(), "Mux: fail to open watchdog: No such device or address\n");
    EXPECT_FALSE(Multiplexer::instance().watchdog_open());
}

TEST_F(Watchdog, AFailedPingIsReportedAndTheWatchdogStaysOpen) {
    std::string const path = device();
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    DeviceReader reader(path);
    reader.start();
    reader.on_data = [&] {
        reader.event.Release();
        reader.fd.close();  // every later write meets a closed pipe
    };
    IPC::Signal::ignore(SIGPIPE);
    StreamCapture errors(std::cerr);
    bool const stopped = run_watched(1500);
    IPC::Signal::system(SIGPIPE);
    EXPECT_FALSE(stopped);
    EXPECT_EQ(errors.text(),
              "Mux: ping watchdog failed: Broken pipe\n"
              "Mux: stop watchdog failed: Broken pipe\n");
    EXPECT_FALSE(Multiplexer::instance().watchdog_open());
}

TEST_F(Watchdog, DoesNotHideAHungLoop) {
    std::string const path = device();
    { std::ofstream create(path); }
    GTEST_FLAG_SET(death_test_style, "fast");
    // Nothing to wait for, not even a bound.
    EXPECT_DEATH(Multiplexer::instance().run(true, true), "multiplexer: system hang detected!!!");
    GTEST_FLAG_SET(death_test_style, "threadsafe");
}

}  // namespace
