#pragma once
// Announcement players on a transparent MCC channel (voice_slot.h). Playing
// starts when the player's output gets its first consumer on the switch:
//
// - PlaySlotNetwork connects to its peer, sends the 4-byte stream id (most
//   significant byte first), reports `startPlaying` and copies whatever the
//   peer sends to the channel until the peer closes. It connects once only.
// - PlaySlotFile copies its phrase files from the voice folder, in list
//   order, `repeat` passes over the list (0: without end). A name that is
//   empty, holds a '/', or names no regular file that opens is skipped;
//   with nothing to play the connect is refused and `abort` follows.
//
// Either ends with its output inactive and `abort` 0.

#include <memory>
#include <string>
#include <vector>

#include "runtime/loop/dpc.h"
#include "runtime/system/async_connect.h"
#include "runtime/system/async_copy.h"
#include "runtime/system/fd.h"
#include "slots/voice_slot.h"

class PlaySlotGeneric : public VoiceSlot {
public:
    PlaySlotGeneric(Fd const& channel, int timeslot) : timeslot_(timeslot), channel_(channel) {}

    int IGetTransmitChannel() override { return timeslot_; }
    char const* GetName() const override { return "player"; }

    bool IsTimeSlotValid() const { return timeslot_ >= 0; }
    Fd const& RefDeviceFd() const { return channel_; }
    // "player[1024]: "
    void PutHeader(std::ostream& os) const;

private:
    int timeslot_;
    Fd channel_;
};

class PlaySlotNetwork : public PlaySlotGeneric {
public:
    static constexpr uint32_t connect_timeout_ms = 5000;

    PlaySlotNetwork(Fd const& channel, int timeslot, LGCP::PlayerParams_network const& params);

    bool IOnOutputStream() override;

private:
    enum State { idle, connecting, playing, released };

    void OnConnect(ASync::Connect::Status::Type status, Fd socket);
    void OnPlayComplete(ASync::Copy::Status::Type status);
    // Output off, `abort` 0; the player stays silent from then on.
    void Release();

    std::string address_;
    uint32_t id_;
    State state_ = idle;
    std::unique_ptr<ASync::Copy> copier_;
    std::unique_ptr<ASync::Connect> connector_;
};

class PlaySlotFile : public PlaySlotGeneric {
public:
    static constexpr uint32_t phrase_bufsize = 8192;

    PlaySlotFile(Fd const& channel, int timeslot, LGCP::PlayerParams_file const& params);

    bool IOnOutputStream() override;

private:
    // Starts the next playable phrase from the current position; false when
    // the list is exhausted.
    bool next_phrase();
    // Back to the first phrase, and the first playable one started.
    bool restart();
    void delayed_abort();
    void OnPlayComplete(ASync::Copy::Status::Type status);
    void Release();

    std::unique_ptr<ASync::Copy> copier_;
    Fd phrase_;
    // Passes over the list still to play; 0 plays without end.
    int repeat_;
    bool started_ = false;
    Dpc abort_;
    std::vector<std::string> names_;
    size_t next_ = 0;
};
