#include "program/services.h"

#include "hardware/hw_mux.h"
#include "monitoring/monitoring_ctl.h"
#include "rtp/rtp_factories.h"
#include "server/ctrl_server.h"
#include "server/heartbeat.h"
#include "signalling/signalling_factories.h"

void StartServices(IniFile::File& config) {
    // Each factory goes to the head of the chain: a create asks the last first.
    PstnFactory::instance();
    RtpFactory::instance();
    IsdnFactory::instance();
    RtpKVELFactory::instance();
    RtpED137Factory::instance();
    HdlcSlotFactory::instance();

    // Opening the switch turns every bus output off before a controller comes.
    HwMux::instance();

    MonitoringCtl::instance().Configure(config);

    ctrlServer.Bind(&HeartBeatCtl::instance());
    ctrlServer.Bind(&MonitoringCtl::instance());
}
