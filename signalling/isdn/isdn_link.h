#pragma once
// The LAPD link of an ISDN signalling slot: the slot's channel carries the
// frames, the link carries layer-3 messages between the controller and the
// line. It turns the link's indications into the slot's signals (activated,
// deactivated, userData), sends the isdnLinkInfo report at a fixed period
// while the slot is activated and, for the PSTN slot, isdnLinkStatus when
// the link's congestion changes; with a trace level above 2 it writes every
// message it carries through the D-channel frame printer. The link's faults
// are counted by LAPD and written to the log at most once per kind in each
// report period, so that a far end sending garbage cannot flood the log.
// Its timers come from the TimeSource it is given. The ISDN, ATS-QSIG and
// PSTN slots own one each.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/loop/timer_set.h"
#include "signalling/isdn/lapd.h"
#include "slots/slot.h"

namespace ISDN {

class IsdnLink : private Lapd::Notify, private TimerSet::Client {
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

    IsdnLink(Slot& slot, Channel& channel, Settings const& settings,
             TimeSource& time = LoopTime());

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
    void LapdError(ErrorCause cause, char const* text) override;
    void OnTimer(unsigned index) override;
    void OnReport();
    // The end of a period of fault lines: one line for each kind of fault
    // that came again in it.
    void OnFaultPeriod();
    void WriteFault(ErrorCause cause, char const* text, unsigned more) const;
    unsigned FaultPeriod() const;
    void Trace(char const* direction, uint8_t const* message, size_t size) const;

    enum : unsigned { report_timer, deactivated_timer, fault_timer, timer_count };

    // One kind of fault within the period: whether its line has been
    // written, how many came after it, and what the last one said.
    struct Fault {
        bool written = false;
        unsigned more = 0;
        char const* text = "";
    };
    static constexpr size_t fault_kinds = 16;  // the invalid frame and A to O
    static size_t KindOf(ErrorCause cause);

    Slot& slot_;
    Channel& channel_;
    Settings const settings_;
    std::unique_ptr<TimerSet> const timers_;
    Lapd lapd_;
    std::array<Fault, fault_kinds> faults_{};
};

}  // namespace ISDN
