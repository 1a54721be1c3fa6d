#pragma once
// The factory of modem slots. A create with modem parameters makes a digital
// modem slot when the parameters list digital data modes and an HDLC
// interface is free, a DSP modem slot otherwise. The factory keeps the lists
// of its slots (the slot service owns them; a slot leaves the lists when it
// gives its device back), counts the board's DSP modems and lists the free
// point-to-point HDLC interfaces for the resource report, and owns the PPP
// helper link: the listener on 127.0.0.1:52000 and its connections, whose
// frames it routes to the modem slot of their session. A listener that
// cannot bind or listen is tried again every 5000 ms, the failure and the
// recovery each said once; at most 64 helpers are connected at a time, and
// a listener that cannot accept for want of descriptors rests 100 ms.

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "runtime/loop/event.h"
#include "runtime/loop/timer.h"
#include "runtime/system/fd.h"
#include "slots/ppp_helper_frame.h"
#include "slots/slot_factory.h"

class AuthClient;
class DspModemSlot;
class HdlcModemSlot;
class ModemSlot;

class ModemFactory : public SlotFactory {
public:
    static constexpr uint16_t helper_port = 52000;
    static constexpr char helper_address[] = "127.0.0.1";
    static constexpr int helper_backlog = 64;
    static constexpr unsigned listen_retry_ms = 5000;
    // Helper connections held at most; one more is closed with a line.
    static constexpr size_t max_helpers = 64;
    // How long the listener rests after an accept failed for want of
    // descriptors or memory.
    static constexpr unsigned accept_pause_ms = 100;

    static ModemFactory& instance();
    ~ModemFactory() override;

    char const* GetName() const override { return "Modem"; }
    Slot* INewSlot(LGCP::CreateParams const& params) override;
    // `modem`: the DSP modems; `digital-modems`: the point-to-point HDLC
    // interfaces.
    void Query(LGCP::Resources& resources) override;
    void IQuery();

    void ReleaseModemSlot(DspModemSlot* slot);
    // The slot's interface is free again.
    void ReleaseModemSlot(HdlcModemSlot* slot);
    // The first slot whose modem number is this one; null when none.
    ModemSlot* FindModemByDsp(int modem) const;

    // The PPP helper link.
    void OnSocketEvent(int fd, short revents);
    // A complete frame of a helper.
    void OnAuth(uint8_t const* frame);
    // To the helper that sent the frame's session last, the first such.
    bool SendAuth(PppHelper::Bytes const& frame);
    void OnAuthSocketDisconnect(AuthClient* client);

    // "modem[<modems>,<slots>]: "
    void PutHeader(std::ostream& os) const;

private:
    ModemFactory();
    // Opens the helper listener; a failed bind or listen is tried again.
    void Init();
    void OnListenRetry(Timer*);
    void OnAcceptRetry(Timer*);
    // A line the first time in a row, then a retry.
    void ListenFailed(char const* what);
    void update_modemDevices();
    void update_hdlcDevices();
    bool holds(std::string const& interface) const;

    std::vector<DspModemSlot*> dsp_;
    std::vector<HdlcModemSlot*> hdlc_;
    std::vector<ModemSlot*> all_;
    uint32_t modems_ = 0;
    Fd listener_;
    Event event_;
    Timer retry_;
    bool listen_failed_ = false;
    Timer accept_retry_;
    // Said once until an accept succeeds again.
    bool accept_failed_ = false;
    std::vector<std::unique_ptr<AuthClient>> clients_;
    std::vector<std::string> free_;
    // Point-to-point interfaces the last scan found, held or free.
    uint32_t found_ = 0;
};
