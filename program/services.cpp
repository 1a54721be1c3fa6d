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
#include "signalling/hdlc_slot_factory.h"
#include "signalling/isdn/isdn_factory.h"
#include "signalling/pstn_factory.h"
#include "signalling/signalling_config.h"
#include "slots/echo_slot.h"
#include "slots/ext_slot.h"
#include "slots/map_slot.h"
#include "slots/mcc_slot.h"
#include "slots/mixer_factory.h"
#include "slots/modem_factory.h"
#include "slots/slots.h"
#include "slots/t38_slot.h"
#include "slots/trunk_slot.h"
#include "slots/voice_factory.h"

void StartServices(IniFile::File& config, std::function<void()> const& before_binding) {
    // The trunk factories are static objects, already at the end of the
    // chain. Each named factory goes to its head: a create asks the last first.
    LinkTrunkFactories();
    MapFactory::instance();
    PstnFactory::instance();
    RtpFactory::instance();
    ModemFactory::instance();
    Mixer::MixerFactory::instance();
    ExtFactory::instance();
    MccFactory::instance();
    EchoFactory::instance();
    VoiceFactory::instance();
    T38SoftFactory::instance();
    IsdnFactory::instance();
    RtpKVELFactory::instance();
    RtpED137Factory::instance();
    HdlcSlotFactory::instance();

    // Opening the switch turns every bus output off before a controller comes.
    HwMux::instance();

    MonitoringCtl::instance().Configure(config);
    ConfigureSignalling(config["signalling"]);

    if (before_binding) before_binding();

    ctrlServer.Bind(&HeartBeatCtl::instance());
    ctrlServer.Bind(&Slots::instance());
    ctrlServer.Bind(&HwTests::instance());
    ctrlServer.Bind(&BusCtl::instance());
    ctrlServer.Bind(&E1Ctl::instance());
    // Its first call opens the SPI framers and initialises them.
    ctrlServer.Bind(&spiCtrl::instance());
    ctrlServer.Bind(&MonitoringCtl::instance());
}
