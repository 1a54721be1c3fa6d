#pragma once
// ISDN signalling slots: a LAPD link on a channel of its own that carries
// the link's frames. IsdnSlot ("MCC") runs on an HDLC channel of the MCC,
// which the controller connects to the D channel of a trunk like any slot;
// AtsQsigSlot ("ATS-QSIG") runs on an ATS-QSIG link of the DSP
// (/dev/dsp-data), whose B channels AtsQsigBSlot ("ATS-QSIG-B") slots put on
// the switch. The controller activates and deactivates the link and passes
// layer-3 messages through it as user data; every ioctl is refused. The ISDN
// factory makes them.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "hardware/dsp_data_link.h"
#include "runtime/system/fd.h"
#include "signalling/hdlc/frame_channel.h"
#include "signalling/isdn/isdn_link.h"
#include "slots/slot.h"

class AtsQsigBSlot;

class IsdnSlot : public Slot, private ISDN::IsdnLink::Channel, private FrameChannel::Owner {
public:
    // Takes the channel's descriptor (a frame channel) and its switch channel.
    IsdnSlot(Fd const& channel, int timeslot, ISDN::IsdnLink::Settings const& settings);

    bool IActivate(TERM::TermActivateParams const&) override;
    bool IDeactivate() override;
    bool IUserData(std::vector<char> const& data) override;
    bool Ioctl(LGCP::IoctlParams const&) override { return false; }
    bool IOnOutputStream() override { return true; }
    bool IOnInputStream() override { return true; }
    int IGetTransmitChannel() override { return timeslot_; }
    int IGetReceiveChannel() override { return timeslot_; }
    char const* GetName() const override { return "MCC"; }

    ISDN::IsdnLink const& link() const { return link_; }
    // "05:MCC: "
    void PutHeader(std::ostream& os) const override;

protected:
    // Stops watching the channel and closes it.
    void ReleaseChannel() { channel_.Release(); }

private:
    void SendFrame(uint8_t const* frame, size_t size) override;
    void OnFrame(uint8_t const* frame, size_t size) override;

    int const timeslot_;
    FrameChannel channel_{*this};
    ISDN::IsdnLink link_;
};

class AtsQsigSlot : public IsdnSlot {
public:
    AtsQsigSlot(Fd const& link, DspData::Link const& channels,
                ISDN::IsdnLink::Settings const& settings);

    bool IBeforeDestroy() override;
    char const* GetName() const override { return "ATS-QSIG"; }

    // The switch channel of B channel `index` (0 to 2).
    int BChannel(int index) const { return channels_.b[index]; }
    // Takes B channel `index` for the slot; false when another slot has it.
    bool Attach(int index, AtsQsigBSlot* slot);
    // Gives back the B channel the slot holds.
    void Detach(AtsQsigBSlot const* slot);

private:
    DspData::Link const channels_;
    AtsQsigBSlot* b_[DspData::b_channels] = {};
};

class AtsQsigBSlot : public Slot {
public:
    // B channel `index` of the ATS-QSIG slot, which has given it to this slot.
    AtsQsigBSlot(AtsQsigSlot const& d_slot, int index);

    bool IBeforeDestroy() override;
    bool IOnOutputStream() override { return true; }
    bool IOnInputStream() override { return true; }
    int IGetTransmitChannel() override { return channel_; }
    int IGetReceiveChannel() override { return channel_; }
    char const* GetName() const override { return "ATS-QSIG-B"; }

private:
    // The D slot is found again by its number: it may be gone first.
    uint32_t const d_slot_;
    int const channel_;
};
