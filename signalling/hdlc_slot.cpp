#include "signalling/hdlc_slot.h"

#include <iostream>

#include "runtime/log/ext.h"
#include "server/trace_ctl.h"

HdlcSlot::HdlcSlot(int line, long address, bool log)
    : HdlcLinkSlot(line, Mcc::data), address_(address), log_(log) {}

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
    Stop();
    ReportDeactivated();
    return true;
}

void HdlcSlot::Stop() {
    Flush();
    hdlc_.Deactivate();
    StopReports();
}

bool HdlcSlot::Ioctl(LGCP::IoctlParams const& params) {
    if (!params.hdlcPackages_isSelected()) return false;
    auto const& packages = params.get_hdlcPackages();
    // One line for the packages of a command that the channel cannot carry.
    size_t misfits = 0, first_misfit = 0, misfit_size = 0;
    size_t number = 0;
    for (LGCP::HdlcPackage const& package : packages) {
        ++number;
        std::vector<char> const& body = package.get_body();
        auto const* frame = reinterpret_cast<uint8_t const*>(body.data());
        if (body.empty() || body.size() > HDLC::max_frame) {
            if (misfits++ == 0) {
                first_misfit = number;
                misfit_size = body.size();
            }
        } else if (log_ && traces.signalling.hdlc) {
            std::clog << ext::header(this) << "to line " << ext::hex(frame, frame + body.size())
                      << std::endl;
        }
        // Counted as discarded when the channel does not take it.
        hdlc_.Send(frame, body.size());
    }
    if (misfits > 0)
        std::cerr << ext::header(this) << misfits << " of " << packages.size()
                  << " hdlcPackages not sent: a frame carries 1 to " << HDLC::max_frame
                  << " octets, not " << misfit_size << " (package " << first_misfit << ")"
                  << std::endl;
    if (!hdlc_.IsActive() && misfits < packages.size())
        std::cerr << ext::header(this) << packages.size() - misfits
                  << " hdlcPackages not sent: the slot is not activated" << std::endl;
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
    if (!hdlc_.IsActive()) return;
    // Down until the controller activates the slot again: no frames either way.
    Stop();
    OnDeactivated();
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
