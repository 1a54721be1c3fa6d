#include "runtime/log/daemon.h"

#include <syslog.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>

#include "runtime/log/log_file.h"
#include "runtime/log/syslog.h"
#include "runtime/log/syslog_stream.h"

namespace Daemon {

namespace {

constexpr int facility_daemon = 3;
constexpr size_t tag_capacity = 80;  // at most 79 characters of the name

}  // namespace

Sentry::Sentry(Params const& params) : mode_(params.mode) {
    if (::daemon(params.keep_cwd ? 1 : 0, 0) != 0) {
        std::cerr << "daemon() fail!" << std::endl;
        std::exit(2);
    }

    if (mode_ == syslog_mode) {
        static char tag[tag_capacity];
        std::strncpy(tag, params.name.c_str(), tag_capacity - 1);
        tag[tag_capacity - 1] = '\0';
        SysLogManager& manager = syslogManager();
        manager.openlog(tag, LOG_NDELAY, 0);

        // The buffers stay installed until the process ends.
        std::cout.rdbuf(new ManagedSysLogStreamBuf(facility_daemon, LOG_NOTICE));
        std::cerr.rdbuf(new ManagedSysLogStreamBuf(facility_daemon, LOG_ERR));
        std::clog.rdbuf(new ManagedSysLogStreamBuf(facility_daemon, LOG_DEBUG));
        std::cin.tie(&std::cout);
        manager.mirror_std_descriptors(true);
    } else if (mode_ == logfile_mode) {
        log_file_.reset(new LogFileStreamBuf(params.name));
        std::cout.rdbuf(log_file_.get());
        std::cerr.rdbuf(log_file_.get());
        std::clog.rdbuf(log_file_.get());
    }
}

Sentry::~Sentry() {
    if (mode_ != logfile_mode) return;
    std::cout.rdbuf(nullptr);
    std::cerr.rdbuf(nullptr);
    std::clog.rdbuf(nullptr);
}

void Init(Params const& params) {
    static Sentry* const sentry = new Sentry(params);
    (void)sentry;
}

}  // namespace Daemon
