#include "runtime/log/syslog.h"

#include <syslog.h>
#include <time.h>

#include <gtest/gtest.h>
#include <memory>
#include <ostream>

#include "runtime/log/syslog_stream.h"
#include "runtime/system/clock.h"
#include "tests/support/log_socket.h"
#include "tests/support/temp_root.h"

namespace {

using namespace std::string_literals;
using support::LogSocket;
using support::message;
using support::records;
using support::TempRoot;

constexpr int daemon_facility = 3;

// Freezes the clock at 5 January 2024 09:03:07 UTC.
class FixedTime {
public:
    FixedTime() {
        char const* tz = getenv("TZ");
        if (tz) saved_tz_ = tz;
        had_tz_ = tz != nullptr;
        setenv("TZ", "UTC", 1);
        tzset();
        Mux::g_tv_time = Mux::timeval(1704445387, 250000);
    }
    ~FixedTime() {
        Mux::mux_clear_snapshot();
        if (had_tz_)
            setenv("TZ", saved_tz_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string saved_tz_;
    bool had_tz_ = false;
};

class SyslogTest : public ::testing::Test {
protected:
    SyslogTest() : server_(root_.path()), client_(new SysLogManager()) {}
    ~SyslogTest() override { syslogManager().closelog(); }

    TempRoot root_;
    LogSocket server_;
    std::unique_ptr<SysLogManager> client_;
};

TEST_F(SyslogTest, ARecordCarriesPriorityTimeTagAndTextAndEndsWithAZeroByte) {
    ASSERT_TRUE(server_.ok());
    FixedTime at;
    client_->openlog("zvk-T231005-1638", LOG_NDELAY, 0);
    ASSERT_TRUE(client_->connected());
    client_->syslog(27, "%s", "dump status error");
    client_->sendmsg();
    EXPECT_EQ(server_.receive(), "<27>Jan  5 09:03:07 zvk-T231005-1638: dump status error\0"s);

    client_->openlog("", LOG_NDELAY, 0);
    client_->syslog(LOG_NOTICE, "plain");  // no facility given: the default, user
    client_->sendmsg();
    EXPECT_EQ(server_.receive(), "<13>Jan  5 09:03:07 plain\0"s);

    client_->openlog("t", LOG_NDELAY | LOG_PID, 8 * daemon_facility);
    client_->syslog(LOG_DEBUG, "x=%d", 5);
    client_->sendmsg();
    EXPECT_EQ(server_.receive(), "<31>Jan  5 09:03:07 t[" + std::to_string(getpid()) + "]: x=5\0"s);
}

TEST_F(SyslogTest, NothingIsSentBeforeTheBatchIsSentAndAnEmptyBatchSendsNothing) {
    client_->openlog("t", LOG_NDELAY, 0);
    EXPECT_EQ(client_->sendmsg(), 0);
    client_->syslog(LOG_ERR, "one");
    client_->syslog(LOG_ERR, "two");
    EXPECT_EQ(client_->queued_records(), 2);
    EXPECT_GT(client_->sendmsg(), 0);
    auto const got = records(server_.receive());
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(message(got[0]), "one");
    EXPECT_EQ(message(got[1]), "two");
}

TEST_F(SyslogTest, ALongMessageIsCutAt1023Characters) {
    client_->openlog("t", LOG_NDELAY, 0);
    client_->syslog(LOG_ERR, "%s", std::string(2000, 'm').c_str());
    client_->sendmsg();
    std::string const datagram = server_.receive();
    ASSERT_EQ(datagram.size(), 1024u);
    EXPECT_EQ(datagram.back(), '\0');
    EXPECT_EQ(datagram.find('\0'), 1023u);
}

TEST_F(SyslogTest, AFullBatchLeavesEarly) {
    client_->openlog("t", LOG_NDELAY, 0);
    // "<11>Jan  5 09:03:07 t: ", 900 characters and the zero byte make a
    // record of 924 bytes; the batch leaves as soon as it holds more than
    // 12288 bytes, here with the fourteenth record (12936 bytes).
    std::string const text(900, 'b');
    for (int i = 0; i < 15; ++i) client_->record(LOG_ERR, text.data(), text.size());
    std::string const datagram = server_.receive();
    EXPECT_EQ(datagram.size(), 14u * 924u);
    EXPECT_EQ(records(datagram).size(), 14u);
    client_->sendmsg();
    EXPECT_EQ(records(server_.receive()).size(), 1u);
}

TEST_F(SyslogTest, AMissingLogSocketDropsRecordsUntilItAppears) {
    server_.shut();
    client_->openlog("t", LOG_NDELAY, 0);
    EXPECT_EQ(client_->fd(), -1);
    client_->syslog(LOG_ERR, "lost");
    EXPECT_EQ(client_->queued_records(), 0);
    server_.bind();
    client_->syslog(LOG_ERR, "found");
    client_->sendmsg();
    auto const got = records(server_.receive());
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(message(got[0]), "found");
}

TEST_F(SyslogTest, ReconnectsAndResendsOnceAfterTheLogDaemonRestarts) {
    client_->openlog("t", LOG_NDELAY, 0);
    client_->syslog(LOG_ERR, "before");
    client_->sendmsg();
    EXPECT_EQ(message(records(server_.receive())[0]), "before");

    server_.shut();
    server_.bind();  // the restarted daemon's new socket at the same name
    client_->syslog(LOG_ERR, "after");
    EXPECT_GT(client_->sendmsg(), 0);
    auto const got = records(server_.receive());
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(message(got[0]), "after");

    client_->syslog(LOG_ERR, "and on");
    client_->sendmsg();
    EXPECT_EQ(message(records(server_.receive())[0]), "and on");
}

TEST_F(SyslogTest, UsesAStreamSocketWhenTheDaemonRefusesDatagrams) {
    server_.shut();
    LogSocket stream_server(root_.path(), SOCK_STREAM);
    ASSERT_TRUE(stream_server.ok());
    client_->openlog("t", LOG_NDELAY, 0);
    ASSERT_TRUE(client_->connected());
    client_->syslog(LOG_ERR, "over a stream");
    EXPECT_GT(client_->sendmsg(), 0);

    Fd peer(accept(stream_server.fd(), nullptr, nullptr));
    ASSERT_TRUE(peer.is_valid());
    char buffer[256];
    ssize_t const n = recv(peer.lowlevel_fd(), buffer, sizeof(buffer), 0);
    ASSERT_GT(n, 0);
    auto const got = records(std::string(buffer, size_t(n)));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(message(got[0]), "over a stream");
}

TEST_F(SyslogTest, DescriptorZeroIsAValidSocket) {
    int const saved_stdin = dup(0);
    ASSERT_GE(saved_stdin, 0);
    close(0);
    client_->openlog("t", LOG_NDELAY, 0);
    int const fd = client_->fd();
    bool const connected = client_->connected();
    client_->syslog(LOG_ERR, "on zero");
    int const sent = client_->sendmsg();
    client_->closelog();
    dup2(saved_stdin, 0);
    close(saved_stdin);

    EXPECT_EQ(fd, 0);
    EXPECT_TRUE(connected);
    EXPECT_GT(sent, 0);
    EXPECT_EQ(message(records(server_.receive())[0]), "on zero");
}

TEST_F(SyslogTest, CloseLogRestoresTheDefaultTagAndDropsTheBatch) {
    client_->openlog("mine", LOG_NDELAY, 0);
    client_->syslog(LOG_ERR, "dropped");
    client_->closelog();
    EXPECT_EQ(client_->tag(), "syslog-qx");
    EXPECT_EQ(client_->fd(), -1);
    EXPECT_EQ(client_->queued_records(), 0);
    client_->openlog(nullptr, LOG_NDELAY, 0);
    client_->syslog(LOG_ERR, "kept");
    client_->sendmsg();
    auto const got = records(server_.receive());
    ASSERT_EQ(got.size(), 1u);
    EXPECT_NE(got[0].find("syslog-qx: kept"), std::string::npos);
}

class LogStreamTest : public SyslogTest {
protected:
    LogStreamTest()
        : out_buf_(daemon_facility, LOG_NOTICE),
          err_buf_(daemon_facility, LOG_ERR),
          log_buf_(daemon_facility, LOG_DEBUG),
          out_(&out_buf_),
          err_(&err_buf_),
          log_(&log_buf_) {
        err_.setf(std::ios::unitbuf);
        syslogManager().openlog("zvk-T231005-1638", LOG_NDELAY, 0);
    }

    ManagedSysLogStreamBuf out_buf_, err_buf_, log_buf_;
    std::ostream out_, err_, log_;
};

TEST_F(LogStreamTest, EachStreamCarriesItsOwnPriority) {
    FixedTime at;
    out_ << "Starting server T231005-1638, port=20001" << std::endl;
    err_ << "dump status error" << std::endl;
    log_ << "trace" << std::endl;
    EXPECT_EQ(server_.receive(),
              "<29>Jan  5 09:03:07 zvk-T231005-1638: Starting server T231005-1638, port=20001\0"s);
    EXPECT_EQ(server_.receive(), "<27>Jan  5 09:03:07 zvk-T231005-1638: dump status error\0"s);
    EXPECT_EQ(server_.receive(), "<31>Jan  5 09:03:07 zvk-T231005-1638: trace\0"s);
}

TEST_F(LogStreamTest, OneFlushIsOneDatagramWithOneRecordPerLine) {
    log_ << "a\n\nb" << std::flush;
    auto const got = records(server_.receive());
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(message(got[0]), "a");
    EXPECT_EQ(got[1].substr(got[1].size() - 2), ": ");
    EXPECT_EQ(message(got[2]), "b");
}

TEST_F(LogStreamTest, AnUnfinishedLineWaitsForItsNewline) {
    err_ << "slot " << 12 << ": ";  // the error stream flushes on every insertion
    err_ << "destroyed" << std::endl;
    auto const got = records(server_.receive());
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(message(got[0]), "slot 12: destroyed");
}

TEST_F(LogStreamTest, TextWithoutNewlineLeavesWhenItFillsTheBuffer) {
    err_ << std::string(16383, 'x');
    std::string const datagram = server_.receive();
    ASSERT_EQ(records(datagram).size(), 1u);
    EXPECT_EQ(datagram.size(), 1024u);  // the record is cut at 1023 characters
    err_ << "tail" << std::endl;
    EXPECT_EQ(message(records(server_.receive())[0]), "tail");
}

TEST_F(LogStreamTest, PercentSignsAreSentAsTheyStand) {
    log_ << "100%d %s %n" << std::endl;
    EXPECT_EQ(message(records(server_.receive())[0]), "100%d %s %n");
}

TEST_F(LogStreamTest, AFlushOf300LinesLeavesIn256And44Records) {
    for (int i = 0; i < 300; ++i) log_ << "line " << i << '\n';
    log_.flush();
    auto const first = records(server_.receive());
    auto const second = records(server_.receive());
    ASSERT_EQ(first.size(), 256u);
    ASSERT_EQ(second.size(), 44u);
    EXPECT_EQ(message(first[0]), "line 0");
    EXPECT_EQ(message(first[255]), "line 255");
    EXPECT_EQ(message(second[43]), "line 299");
}

TEST_F(LogStreamTest, ThePlainStreamBufferSendsEachLineOnItsOwn) {
    SysLogStreamBuf plain_buf(daemon_facility, LOG_WARNING);
    std::ostream plain(&plain_buf);
    plain << "one\ntwo\n" << std::flush;
    auto const first = records(server_.receive());
    auto const second = records(server_.receive());
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(first[0].substr(0, 4), "<28>");
    EXPECT_EQ(message(first[0]), "one");
    EXPECT_EQ(message(second[0]), "two");
}

}  // namespace
