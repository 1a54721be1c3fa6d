#include "slots/record_slot.h"

#include <iostream>

#include "runtime/log/ext.h"

void RecordSlot::PutHeader(std::ostream& os) const {
    os << GetName() << "[" << timeslot_ << "]: ";
}

bool RecordSlot::IOnInputStream() {
    // A recording already running goes on until the new connection is up.
    connector_ = std::make_unique<ASync::Connect>();
    connector_->Bind(&RecordSlot::OnConnect, this);
    connector_->Start(address_, connect_timeout_ms);
    return true;
}

void RecordSlot::OnConnect(ASync::Connect::Status::Type status, Fd socket) {
    if (status != ASync::Connect::Status::connected) {
        std::clog << ext::header(this) << "connection to " << address_ << " fail." << std::endl;
        StopRecording(LGCP::StopRecordingCause::connectionFail);
        return;
    }
    std::clog << ext::header(this) << "connected to " << address_ << "." << std::endl;
    connector_.reset();
    copier_ = std::make_unique<ASync::Copy>();
    copier_->set_events({POLLIN, POLLOUT, 0});
    copier_->Bind(&RecordSlot::OnRecordComplete, this);
    copier_->Start(channel_, std::move(socket));
}

void RecordSlot::OnRecordComplete(ASync::Copy::Status::Type status) {
    if (status == ASync::Copy::Status::completed) {
        std::clog << ext::header(this) << "connection to " << address_ << " closed." << std::endl;
        StopRecording(LGCP::StopRecordingCause::userRequest);
        return;
    }
    std::cerr << ext::header(this) << "record aborted" << std::endl;
    StopRecording(LGCP::StopRecordingCause::connectionAborted);
}

void RecordSlot::StopRecording(LGCP::StopRecordingCause::NamedNumber cause) {
    copier_.reset();
    connector_.reset();
    LGCP::IoctlResponse response;
    response.select_stopRecording(cause);
    OnIoctlResponse(response);
}
