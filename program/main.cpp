// The program entry: reads the configuration, installs the signal handlers,
// parses the command line, creates the slot factories and the switch
// (services.h), optionally becomes a daemon, writes the pid file and the
// start-up line, binds the services, starts the control-port acceptor and
// runs the main loop until SIGTERM or SIGINT asks it to stop.

#include <getopt.h>
#include <signal.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

#include "hardware/bus_ctl.h"
#include "program/services.h"
#include "runtime/config/ini_file.h"
#include "runtime/log/daemon.h"
#include "runtime/log/version.h"
#include "runtime/loop/child_wait.h"
#include "runtime/loop/dpc.h"
#include "runtime/loop/multiplexer.h"
#include "runtime/loop/timer.h"
#include "runtime/system/pid_file.h"
#include "runtime/system/platform_path.h"
#include "runtime/system/signal.h"
#include "server/acceptor_net.h"
#include "server/ctrl_server.h"
#include "server/trace_ctl.h"
#include "slots/slots.h"

namespace {

volatile sig_atomic_t doDumpStatus = 0;
volatile sig_atomic_t updateResources = 0;
// Kept apart from the loop's own stop flag, which a loop that starts clears:
// a stop asked for during start-up is seen by the loop's first pass.
volatile sig_atomic_t stopRequested = 0;
int print_version = 0;

char const configFile[] = "/usr/local/etc/server.conf";
char const statusFile[] = "/var/log/server-status";
int const default_port = 20001;

enum OptionCode { disable_clock = 10 };

option const long_options[] = {
    {"daemon", no_argument, nullptr, 'D'},
    {"disable-clock", no_argument, nullptr, disable_clock},
    {"port", required_argument, nullptr, 'p'},
    {"version", no_argument, &print_version, 1},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
};

void Usage() {
    std::cout << "Usage:\n"
                 " mobrel -Dh\n"
                 "  -D --daemon                      run as daemon\n"
                 "  -p --port                        use this port\n"
                 "     --disable-clock               disable clock control\n"
                 "     --version                     print version\n"
                 "  -h --help                        display this information\n"
              << std::endl;
}

void SigPipeHandler(int, siginfo_t*, void*) {}

void SigTermHandler(int, siginfo_t*, void*) {
    stopRequested = 1;
    Multiplexer::terminate();
}

void SigUsr2Handler(int, siginfo_t*, void*) {
    doDumpStatus = 1;
}

void SigHupHandler(int, siginfo_t*, void*) {
    updateResources = 1;
}

void InstallSignals() {
    IPC::Signal::handle(SIGPIPE, SigPipeHandler, SA_RESTART);
    IPC::Signal::handle(SIGTERM, SigTermHandler, 0);
    IPC::Signal::handle(SIGINT, SigTermHandler, 0);
    IPC::Signal::handle(SIGUSR2, SigUsr2Handler, SA_RESTART);
    IPC::Signal::handle(SIGHUP, SigHupHandler, SA_RESTART);
}

void RunDaemon() {
    Daemon::Params params;
    params.name = std::string("zvk-") + Version::current.tag();
    Daemon::Init(params);
}

void CheckDumpStatus() {
    if (!doDumpStatus) return;
    doDumpStatus = 0;
    std::ofstream file(Platform::path(statusFile), std::ios::out | std::ios::trunc);
    if (!file) {
        std::cerr << "dump status error" << std::endl;
        return;
    }
    file << "mobrel server status information" << std::endl;
    file << "version : " << Version::current << std::endl;
    Multiplexer::instance().dump(file);
}

void CheckUpdateResources() {
    if (!updateResources) return;
    updateResources = 0;
    std::clog << "update hardware resources" << std::endl;
    Slots::instance().UpdateHardwareResources();
}

void Wake() {}

Timer wakeTimer;

void CheckSignals() {
    if (stopRequested) {
        Multiplexer::terminate();
        // A due timer keeps this pass's poll from waiting.
        wakeTimer.set(0, Wake);
    }
    CheckDumpStatus();
    CheckUpdateResources();
}

}  // namespace

int main(int argc, char** argv) {
    IniFile::File config;
    if (config.Open(Platform::path(configFile))) {
        traces = TraceCtl();
        traces.Configure(config["traces"]);
    }

    InstallSignals();

    int port = default_port;
    bool daemon = false;
    for (;;) {
        int const code = getopt_long(argc, argv, "Dh", long_options, nullptr);
        if (code == -1) break;
        switch (code) {
            case 'D':
                daemon = true;
                break;
            case disable_clock:
                BusCtl::instance().DisableControl();
                break;
            case 'p':
                port = std::atoi(optarg);
                break;
            case 'h':
                Usage();
                return 0;
            case '?':
                Usage();
                return 2;
            default:
                break;
        }
    }

    if (print_version) {
        std::cout << "server version: " << Version::current << std::endl;
        return 2;
    }

    {
        std::optional<Linux::Run> pidFile;
        StartServices(config, [&] {
            if (daemon) RunDaemon();
            pidFile.emplace("server");
            std::cout << "Starting server [" << Version::current << "], port=" << port
                      << std::endl;
        });

        ChildWait::Activate();
        Dpc signals;
        signals.Bind(CheckSignals);
        signals.Activate();

        ctrlServer.Activate(new Control::AcceptorNetCheckConnection(port));

        if (!stopRequested) Multiplexer::instance().run(true, true);

        ctrlServer.Deactivate();
        wakeTimer.reset();
    }
    return 0;
}
