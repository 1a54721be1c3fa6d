#include "slots/play_slot.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <iostream>

#include "hardware/device/record.h"
#include "runtime/log/ext.h"
#include "runtime/system/platform_path.h"

namespace {

char const voice_folder[] = "/usr/local/voice/";

// Copies into the channel end once the channel can take more.
ASync::Copy::EventsParams const play_events = {POLLIN, POLLOUT, POLLWRNORM};

// A phrase name stands for a file of the voice folder itself: a name with a
// '/' could reach any file of the system.
bool is_phrase_name(std::string const& name) {
    return !name.empty() && name.find('/') == std::string::npos;
}

}  // namespace

void PlaySlotGeneric::PutHeader(std::ostream& os) const {
    os << GetName() << "[" << timeslot_ << "]: ";
}

// The network player.

PlaySlotNetwork::PlaySlotNetwork(Fd const& channel, int timeslot,
                                 LGCP::PlayerParams_network const& params)
    : PlaySlotGeneric(channel, timeslot),
      address_(dhost2str(params.get_host())),
      id_(uint32_t(params.get_id().getValue())) {}

bool PlaySlotNetwork::IOnOutputStream() {
    if (state_ == idle) {
        state_ = connecting;
        connector_ = std::make_unique<ASync::Connect>();
        connector_->Bind(&PlaySlotNetwork::OnConnect, this);
        connector_->Start(address_, connect_timeout_ms);
    }
    OnChangeOutputStream(true);
    return IsTimeSlotValid();
}

void PlaySlotNetwork::OnConnect(ASync::Connect::Status::Type status, Fd socket) {
    if (status != ASync::Connect::Status::connected) {
        std::clog << ext::header(this) << "connection to " << address_ << " fail." << std::endl;
        Release();
        return;
    }
    std::clog << ext::header(this) << "connected to " << address_ << "." << std::endl;
    LGCP::IoctlResponse response;
    response.select_startPlaying();
    OnIoctlResponse(response);
    state_ = playing;
    connector_.reset();
    copier_ = std::make_unique<ASync::Copy>();
    copier_->set_events(play_events);
    copier_->Bind(&PlaySlotNetwork::OnPlayComplete, this);
    uint8_t id[4];
    Device::put32(id, id_);
    ssize_t const sent = ::write(socket.lowlevel_fd(), id, sizeof(id));
    (void)sent;
    copier_->Start(socket, RefDeviceFd());
}

void PlaySlotNetwork::OnPlayComplete(ASync::Copy::Status::Type status) {
    if (status == ASync::Copy::Status::completed)
        std::clog << ext::header(this) << "connection to " << address_ << " closed." << std::endl;
    else
        std::cerr << ext::header(this) << "play failed" << std::endl;
    Release();
}

void PlaySlotNetwork::Release() {
    state_ = released;
    OnChangeOutputStream(false);
    copier_.reset();
    connector_.reset();
    OnAbort(0);
}

// The file player.

PlaySlotFile::PlaySlotFile(Fd const& channel, int timeslot, LGCP::PlayerParams_file const& params)
    : PlaySlotGeneric(channel, timeslot) {
    // A negative count, like 0, never runs out.
    int const repeat = params.get_repeat().getValue();
    repeat_ = repeat > 0 ? repeat : 0;
    for (auto const& name : params.get_name()) names_.push_back(name);
    abort_.Bind(this, &PlaySlotFile::delayed_abort);
}

bool PlaySlotFile::next_phrase() {
    while (next_ < names_.size()) {
        std::string const& name = names_[next_++];
        if (!is_phrase_name(name)) continue;
        phrase_.close();
        if (!phrase_.open(Platform::path(voice_folder + name).c_str(), O_RDONLY | O_NONBLOCK))
            continue;
        struct stat st {};
        if (::fstat(phrase_.lowlevel_fd(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        ::lseek(phrase_.lowlevel_fd(), 0, SEEK_SET);
        copier_ = std::make_unique<ASync::Copy>();
        copier_->set_bufsize(phrase_bufsize);
        copier_->set_events(play_events);
        copier_->Bind(&PlaySlotFile::OnPlayComplete, this);
        copier_->Start(phrase_, RefDeviceFd());
        return true;
    }
    phrase_.close();
    return false;
}

bool PlaySlotFile::restart() {
    next_ = 0;
    return next_phrase();
}

bool PlaySlotFile::IOnOutputStream() {
    if (!started_) {
        if (!restart()) {
            // The connect is refused now; `abort` follows on the next pass.
            abort_.Activate();
            return false;
        }
        started_ = true;
    }
    OnChangeOutputStream(true);
    return IsTimeSlotValid();
}

void PlaySlotFile::delayed_abort() {
    abort_.Deactivate();
    OnAbort(0);
}

void PlaySlotFile::OnPlayComplete(ASync::Copy::Status::Type status) {
    if (status != ASync::Copy::Status::completed) {
        std::cerr << ext::header(this) << "play failed" << std::endl;
        Release();
        return;
    }
    if (next_phrase()) return;
    if (repeat_ != 0 && --repeat_ == 0) {
        Release();
        return;
    }
    if (!restart()) OnAbort(0);
}

void PlaySlotFile::Release() {
    OnChangeOutputStream(false);
    copier_.reset();
    phrase_.close();
    OnAbort(0);
}
