#pragma once
// Daemon start: detaches the process from its terminal once and sends its
// output, error and log streams (std::cout, std::cerr, std::clog) either to
// the system log under a tag, or to hourly log files in a directory. The
// program entry calls Daemon::Init with the system-log mode when it runs
// as a daemon. The redirection stays in place until the process ends.

#include <memory>
#include <string>

class LogFileStreamBuf;

namespace Daemon {

enum LogMode : int { syslog_mode = 0, logfile_mode = 1 };

struct Params {
    int mode = syslog_mode;        // any other value: no redirection
    bool keep_cwd = false;         // stay in the working directory instead of "/"
    std::string name = "unknown";  // syslog tag, or the directory of the log files
};

class Sentry {
public:
    // Daemonises (exit status 2 after "daemon() fail!" when that fails) and
    // redirects the streams.
    explicit Sentry(Params const& params);
    // In log-file mode detaches the streams from the log file buffer.
    ~Sentry();
    Sentry(Sentry const&) = delete;
    Sentry& operator=(Sentry const&) = delete;

private:
    int mode_;
    std::unique_ptr<LogFileStreamBuf> log_file_;
};

// Daemonises on the first call; later calls do nothing. The Sentry is never
// destroyed, so the streams keep their destination while static objects
// are destroyed at exit.
void Init(Params const& params);

}  // namespace Daemon
