#include "program/services.h"

#include "hardware/bus_ctl.h"
#include "hardware/e1_ctl.h"
#include "hardware/hw_mux.h"
#include "hardware/hw_tests.h"
#include "hardware/spi_ctrl.h"
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
    ctrlServer.Bind(&HwTests::instance());
    ctrlServer.Bind(&BusCtl::instance());
    ctrlServer.Bind(&E1Ctl::instance());
    // Its first call opens the SPI framers and initialises them.
    ctrlServer.Bind(&spiCtrl::instance());
    ctrlServer.Bind(&MonitoringCtl::instance());
}
