#include "runtime/log/log_file.h"

#include <sys/stat.h>
#include <time.h>

#include <gtest/gtest.h>
#include <cstdlib>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>

namespace {

::timeval fake_now;

void fake_clock(::timeval& now) {
    now = fake_now;
}

class LogFileTest : public ::testing::Test {
protected:
    LogFileTest() {
        char const* tz = getenv("TZ");
        had_tz_ = tz != nullptr;
        if (tz) saved_tz_ = tz;
        setenv("TZ", "UTC", 1);
        tzset();
        char templ[] = "/tmp/mobrel-logfile-XXXXXX";
        dir_ = mkdtemp(templ);
        at(1704466799, 7);  // 5 January 2024 14:59:59.000007 UTC
    }
    ~LogFileTest() override {
        if (had_tz_)
            setenv("TZ", saved_tz_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
        std::string const command = "rm -rf '" + dir_ + "'";
        if (system(command.c_str()) != 0) {
        }
    }

    static void at(long seconds, long usec) {
        fake_now.tv_sec = seconds;
        fake_now.tv_usec = usec;
    }

    std::string read(std::string const& name) const {
        std::ifstream in((dir_ + "/" + name).c_str());
        std::stringstream text;
        text << in.rdbuf();
        return in.is_open() ? text.str() : "<missing>";
    }

    std::string dir_;
    std::string saved_tz_;
    bool had_tz_ = false;
};

TEST_F(LogFileTest, PrefixesEachLineWithMinutesSecondsAndSixDigitMicroseconds) {
    LogFileStreamBuf buf(dir_, fake_clock);
    std::ostream log(&buf);
    EXPECT_EQ(buf.file_name(), dir_ + "/2024_01_05-14.log");
    log << "first\nsecond" << std::flush;
    at(1704466799, 123456);
    log << " half\nthird line that is longer than the put area\n" << std::flush;
    EXPECT_EQ(read("2024_01_05-14.log"),
              "59:59:000007: first\n"
              "59:59:000007: second half\n"
              "59:59:123456: third line that is longer than the put area\n");
}

TEST_F(LogFileTest, AWrittenLineIsOnDiskAtOnce) {
    LogFileStreamBuf buf(dir_, fake_clock);
    std::ostream log(&buf);
    log << "ab" << std::flush;
    log << "c" << std::endl;
    EXPECT_EQ(read("2024_01_05-14.log"), "59:59:000007: abc\n");
}

TEST_F(LogFileTest, AppendsToTheFileOfTheSameHourAfterARestart) {
    {
        LogFileStreamBuf buf(dir_, fake_clock);
        std::ostream log(&buf);
        log << "before restart" << std::endl;
    }
    LogFileStreamBuf buf(dir_, fake_clock);
    std::ostream log(&buf);
    log << "after restart" << std::endl;
    EXPECT_EQ(read("2024_01_05-14.log"),
              "59:59:000007: before restart\n"
              "59:59:000007: after restart\n");
}

TEST_F(LogFileTest, TakesANewFileWhenTheHourOrTheDateChanges) {
    LogFileStreamBuf buf(dir_, fake_clock);
    std::ostream log(&buf);
    log << "in 14, ";
    log.flush();
    at(1704466800, 5);  // 15:00:00.000005
    log << "still the line of 14\nfirst of 15" << std::endl;
    at(1704549601, 0);  // the next day at 14:00:01, not a flush in between
    log << "next day" << std::endl;
    EXPECT_EQ(read("2024_01_05-14.log"), "59:59:000007: in 14, still the line of 14\n");
    EXPECT_EQ(read("2024_01_05-15.log"), "00:00:000005: first of 15\n");
    EXPECT_EQ(read("2024_01_06-14.log"), "00:01:000000: next day\n");
}

TEST_F(LogFileTest, AnUnwritableDirectoryLosesTextWithoutHarm) {
    LogFileStreamBuf buf(dir_ + "/no/such/dir", fake_clock);
    std::ostream log(&buf);
    EXPECT_EQ(buf.file_name(), "");
    log << "lost" << std::endl;
    EXPECT_TRUE(log.good());
}

}  // namespace
