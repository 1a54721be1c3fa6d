#pragma once
// The LAPD link of an ISDN signalling slot: the slot's channel carries the
// frames, the link carries layer-3 messages between the controller and the
// line. It turns the link's indications into the slot's signals (activated,
// deactivated, userData), sends the isdnLinkInfo report at a fixed period
// while the slot is activated and, for the PSTN slot, isdnLinkStatus when
// the link's congestion changes; with a trace level above 2 it writes every
// message it carries through the D-channel frame printer. The ISDN, ATS-QSIG
// and PSTN slots own one each.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/loop/timer.h"
#include "signalling/isdn/lapd.h"
#include "slots/slot.h"

namespace ISDN {

class IsdnLink : private Lapd::Notify {
public:
    // Where the link's frames go: the slot's channel.
    class Channel {
    public:
        virtual ~Channel() = default;
        virtual void SendFrame(uint8_t const* frame, size_t size) = 0;
    };

    struct Settings {
        LapdParams lapd;
        // The link's trace level: above 2 every message is printed.
        int log = 0;
        // 0: the owner sends the reports itself.
        unsigned report_ms = 10000;
        // Whether congestion changes go to the controller as isdnLinkStatus.
        bool status_reports = false;
    };

    IsdnLink(Slot& slot, Channel& channel, Settings const& settings);

    // The controller's activate and deactivate: the link is asked up or
    // down, and the reports run in between. A link that is down already
    // reports `deactivated` again once the command has been answered.
    void Activate();
    void Deactivate();
    // The channel under the link has failed.
    void LineDown() { lapd_.LineDown(); }
    // One layer-3 message from the controller; false, with a line, when the
    // link cannot take it.
    bool UserData(std::vector<char> const& message);
    // A frame the channel delivered.
    void OnFrame(uint8_t const* frame, size_t size) { lapd_.Receive(frame, size); }

    Lapd const& lapd() const { return lapd_; }
    ACP::IsdnLinkInfo Info() const;

private:
    void LapdTransmit(uint8_t const* frame, size_t size) override;
    void LapdUp() override;
    void LapdDown() override;
    void LapdData(uint8_t const* message, size_t size) override;
    void LapdCongestion(bool congested) override;
    void LapdError(char code, char const* text) override;
    void OnReport();
    void OnDeactivatedLater() { slot_.OnDeactivated(); }
    void Trace(char const* direction, uint8_t const* message, size_t size) const;

    Slot& slot_;
    Channel& channel_;
    Settings const settings_;
    Lapd lapd_;
    Timer report_;
    Timer deactivated_;
};

}  // namespace ISDN
