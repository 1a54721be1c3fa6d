#include "signalling/hdlc_slot.h"

#include <iostream>

#include "runtime/log/ext.h"
#include "server/trace_ctl.h"

HdlcSlot::HdlcSlot(int line, long address, bool log)
    : HdlcLinkSlot(line, HDLC::data), address_(address), log_(log) {}

bool HdlcSlot::IActivate(TERM::TermActivateParams const&) {
    if (!hdlc_.Activate()) {
        ReportDeactivated();
        return true;
    }
    if (traces.signalling.hdlc)
        std::clog << ext::header(this) << "timeslot " << timeslot() << " of trunk "
                  << trunk() << ", channel " << hdlc_.channel() << std::endl;
    StartReports();
    return true;
}

bool HdlcSlot::IDeactivate() {
    Flush();
    hdlc_.Deactivate();
    StopReports();
    ReportDeactivated();
    return true;
}

bool HdlcSlot::Ioctl(LGCP::IoctlParams const& params) {
    if (!params.hdlcPackages_isSelected()) return false;
    for (LGCP::HdlcPackage const& package : params.get_hdlcPackages()) {
        std::vector<char> const& body = package.get_body();
        auto const* frame = reinterpret_cast<uint8_t const*>(body.data());
        if (log_ && traces.signalling.hdlc)
            std::clog << ext::header(this) << "to line " << ext::hex(frame, frame + body.size())
                      << std::endl;
        hdlc_.Send(frame, body.size());
    }
    // Sent or not, the answer is `unsupported`.
    return false;
}

void HdlcSlot::OnFrame(uint8_t const* frame, size_t size) {
    if (log_ && traces.signalling.hdlc)
        std::clog << ext::header(this) << "from line " << ext::hex(frame, frame + size)
                  << std::endl;
    if (address_ >= 0 && address_ <= 255 && (size == 0 || frame[0] != address_)) {
        ++filtered_;
        if (traces.signalling.hdlc)
            std::clog << ext::header(this) << "frame for another address dropped, "
                      << filtered_ << " in all" << std::endl;
        return;
    }
    pending_.emplace_back(frame, frame + size);
    if (pending_.size() >= batch) return Flush();
    if (!flush_.is_running()) flush_.set(0, &HdlcSlot::Flush, this);
}

void HdlcSlot::OnLineDown() {
    if (hdlc_.IsActive()) OnDeactivated();
}

void HdlcSlot::Flush() {
    flush_.reset();
    if (pending_.empty()) return;
    LGCP::IoctlResponse response;
    auto& packages = response.select_hdlcPackages();
    for (std::vector<char> const& frame : pending_) {
        LGCP::HdlcPackage package;
        package.set_body(frame);
        packages.push_back(package);
    }
    pending_.clear();
    OnIoctlResponse(response);
}
