#include "slots/voice_factory.h"

#include <fcntl.h>

#include <cstring>
#include <iostream>

#include "hardware/mcc_channel.h"
#include "runtime/log/ext.h"
#include "slots/play_slot.h"
#include "slots/record_slot.h"

namespace {

// Both kinds take the channel's bytes in packets of 1024; a player's
// channel sends from 5 bytes on, a recorder's delivers from 5 bytes on.
Mcc::ChannelRecord const player_channel = {Mcc::transparent, 1024, 0, 0, 5};
Mcc::ChannelRecord const recorder_channel = {Mcc::transparent, 1024, 0, 5, 0};

}  // namespace

VoiceFactory& VoiceFactory::instance() {
    static VoiceFactory factory;
    return factory;
}

void VoiceFactory::PutHeader(std::ostream& os) const { os << "voice/mcc[0]: "; }

Slot* VoiceFactory::INewSlot(LGCP::CreateParams const& params) {
    if (!params.voice_isSelected()) return nullptr;
    LGCP::VoiceParams const& voice = params.get_voice();
    if (voice.record_isSelected()) return CreateRecord(dhost2str(voice.get_record()));
    if (voice.player_isSelected()) return CreatePlay(voice.get_player());
    return nullptr;
}

Mcc::Channel VoiceFactory::Allocate(bool player) {
    int const flags = (player ? O_WRONLY : O_RDONLY) | O_NONBLOCK | O_CLOEXEC;
    Mcc::Channel channel = Mcc::Open(flags, player ? player_channel : recorder_channel);
    switch (channel.failed) {
        case Mcc::Channel::none:
            break;
        case Mcc::Channel::open:
            std::cerr << ext::header(this) << "fail to open /dev/mcc/ctl device for "
                      << (player ? "writing: " : "reading: ") << std::strerror(channel.error)
                      << std::endl;
            break;
        case Mcc::Channel::allocate:
            std::cerr << ext::header(this) << "MCC_ALLOCATE fail: " << std::strerror(channel.error)
                      << std::endl;
            break;
        case Mcc::Channel::ask_timeslot:
            std::cerr << ext::header(this) << "MCC_TIMESLOT request failed." << std::endl;
            break;
    }
    return channel;
}

Slot* VoiceFactory::CreatePlay(LGCP::PlayerParams const& params) {
    bool const network = params.network_isSelected();
    if (!network && !params.file_isSelected()) return nullptr;
    Mcc::Channel const channel = Allocate(true);
    if (!channel.fd) return nullptr;
    if (network) return new PlaySlotNetwork(channel.fd, channel.timeslot, params.get_network());
    return new PlaySlotFile(channel.fd, channel.timeslot, params.get_file());
}

Slot* VoiceFactory::CreateRecord(std::string const& address) {
    Mcc::Channel const channel = Allocate(false);
    if (!channel.fd) return nullptr;
    return new RecordSlot(address, channel.timeslot, channel.fd);
}
