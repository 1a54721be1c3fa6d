#pragma once
// A slot: one channel endpoint that the controller addresses by a number
// from 0 to 1023 (a trunk timeslot, a bus channel, a mixer input, a player,
// a modem, ...). Slot is the base of every slot kind. It holds the slot's
// number, its place in the connection graph (one source, any number of
// consumers), the factory that made it and its stream flags; it offers the
// hooks the slot service drives for the controller's commands, the hooks
// that connect two slots on the TDM switch, and the senders that turn slot
// events into signals.
//
// Connect and Disconnect are the only way two slots are joined: they keep
// the graph and the switch in step. Of the two slots, the one with the
// higher connection priority drives the switch; on equal priority the
// receiver connects and the transmitter disconnects.

#include <cstdint>
#include <optional>
#include <ostream>
#include <vector>

#include "hardware/dsproc_receiver.h"
#include "hardware/tonec_receiver.h"
#include "messages/acp/acp.h"
#include "messages/lgcp/lgcp.h"
#include "messages/rerira/rerira.h"
#include "messages/term/term.h"

class SlotFactory;

class Slot {
public:
    static constexpr uint32_t unregistered = 0xFFFFFFFF;

    Slot() = default;
    Slot(Slot const&) = delete;
    Slot& operator=(Slot const&) = delete;
    virtual ~Slot() = default;

    virtual int GetTrunk() { return -1; }
    virtual int GetTrunkTimeSlot() { return -1; }
    virtual void OnTrunkStatus(unsigned int, ACP::TrunkState::NamedNumber const&) {}
    // Runs once after registration and the create answer.
    virtual void IAfterCreate() {}
    // True: the slot may be deleted now; false: it finishes later and
    // calls on_release().
    virtual bool IBeforeDestroy() { return true; }
    virtual bool IActivate(TERM::TermActivateParams const&) { return false; }
    virtual bool IDeactivate() { return false; }
    virtual bool IUserData(std::vector<char> const&) { return false; }
    virtual bool Ioctl(LGCP::IoctlParams const&) { return false; }
    virtual int GetConnectionPriority() { return 0; }
    virtual bool IHwConnectTransmitter(Slot& destination);
    virtual bool IHwConnectReceiver(Slot& source);
    virtual bool IHwDisconnectTransmitter(Slot& destination);
    virtual bool IHwDisconnectReceiver(Slot& source);
    // Whether the slot can start its transmit / receive stream.
    virtual bool IOnOutputStream() { return false; }
    virtual bool IOnInputStream() { return false; }
    // The last consumer has gone / the source has gone.
    virtual void IOnOutputRelease() {}
    virtual void IOnInputRelease() {}
    // The switch channel that carries the slot's output, and the switch
    // output that feeds its input; -1 when none.
    virtual int IGetTransmitChannel() { return -1; }
    virtual int IGetReceiveChannel() { return -1; }
    virtual char const* GetName() const = 0;

    uint32_t GetId() const { return id_; }
    SlotFactory* GetSlotFactory() const { return factory_; }
    bool is_releasing() const { return releasing_; }
    bool GetInputStream() const { return inputActive_; }
    bool GetOutputStream() const { return outputActive_; }
    int GetTransmitChannel() { return IGetTransmitChannel(); }
    int GetReceiveChannel() { return IGetReceiveChannel(); }
    Slot* source() const { return source_; }
    std::vector<Slot*> const& consumers() const { return consumers_; }

    // "07:trunk", "i1500:trunk", "na:trunk"
    void Put(std::ostream& os) const;

    // Senders: each sends one signal with the slot's number.
    void SendSignal(LGCP::Signal const& signal);
    void OnTonecEvent(LGCP::TonecEvent const& event);
    void OnVADEvent(LGCP::VADEvent const& event);
    void OnSDEvent(LGCP::SDEvent const& event);
    void OnRtpEvent(LGCP::RtpEvent const& event);
    void OnRtpRadioEvent(TERM::RtpRadioRequest const& request);
    void OnProtoKvelEvent(RERIRA::ProtoKvelPackets const& packets);
    void OnNumber(std::string const& number);
    void OnModem(TERM::ModemProceeding const& proceeding);
    void OnModem(TERM::ModemInformation const& information);
    void OnActivated();
    void OnDeactivated();
    void OnUserData(std::vector<char> const& data);
    void OnAbort(int code);
    void OnIoctlResponse(LGCP::IoctlResponse const& response);

    // A tonec dtmfDone signal: the tone generator has sent its string.
    void processToneGenEvent();
    // The tone and DSP receivers' events as signals: a detected code as
    // tonec (dtmf, ced, cng, iva), voice activity as vad, signal detection
    // as sd, a tone filter's report as tonec tone-presence, a flags record
    // as vad and selcal, a BSS score as bss. A code or value that means
    // nothing is refused with a line.
    void processTonecEvent(Hardware::TonecReceiver::Params const& params);
    void processVADEvent(Hardware::DSProcVADEvent const& event);
    void processSDEvent(Hardware::DSProcSDEvent const& event);
    void processToneFltEvent(dsproc_tone_event const* event);
    void processFlagsEvent(dsproc_flags_event const* event);
    void processBSSEvent(dsproc_bss_event const* event);
    // An RTP driver event {type, value, timeout}: type 1 is packet detection.
    void processRtpEvent(uint32_t type, uint32_t value, uint32_t timeout);

    // Turns a stream on or off with its signal; turning the input off first
    // disconnects the source, turning the output off every consumer.
    void OnChangeInputStream(bool on);
    void OnChangeOutputStream(bool on);

    // Runs IBeforeDestroy; when the slot may go now, takes it off its
    // factory's list. False: the slot finishes later through on_release().
    bool BeforeDestroy();
    // For a slot whose destruction was deferred, when it has finished: the
    // slot service answers a waiting destroy and deletes the slot. The slot
    // must not be touched after the call.
    void on_release();

    void LogicalConnect(Slot& source);
    void LogicalDisconnect();

private:
    friend class Slots;
    friend class SlotFactory;

    uint32_t id_ = unregistered;
    std::vector<Slot*> consumers_;  // sorted by address, no duplicates
    Slot* source_ = nullptr;
    SlotFactory* factory_ = nullptr;
    bool inputActive_ = false;
    bool outputActive_ = false;
    bool releasing_ = false;
    // The sequence number of a destroy whose answer waits for on_release().
    std::optional<uint32_t> delayedSeq_;
};

std::ostream& operator<<(std::ostream& os, Slot const& slot);

// Joins the source's output to the destination's input (the destination
// leaves an earlier source); false when a stream or the switch refuses.
bool Connect(Slot& source, Slot& destination);
// Takes the destination off its source; the switch's result.
bool Disconnect(Slot& destination);
// The switch connection by the priority rule.
bool llConnect(Slot& source, Slot& destination);
bool llDisconnect(Slot& destination);
// The switch connection itself: the source's transmit channel to the
// destination's receive channel; the idle byte on the destination's.
bool MuxConnect(Slot& source, Slot& destination);
bool MuxDisconnect(Slot& destination);
