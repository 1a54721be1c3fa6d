#include "slots/slots.h"

#include <time.h>

#include <algorithm>
#include <cerrno>
#include <iostream>

#include "slots/slot_factory.h"

namespace {

// Blocks the whole process for the time, resuming after each signal that
// interrupts the wait.
void pause_fully(unsigned ms) {
    timespec until;
    ::clock_gettime(CLOCK_MONOTONIC, &until);
    until.tv_sec += ms / 1000;
    until.tv_nsec += long(ms % 1000) * 1000000;
    if (until.tv_nsec >= 1000000000) {
        until.tv_nsec -= 1000000000;
        ++until.tv_sec;
    }
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

}  // namespace

Slots& Slots::instance() {
    static Slots slots;
    return slots;
}

bool Slots::OnCommand(LGCP::Command const& command) {
    return IsSlotPresent() ? OnSlotCommand(command) : OnBaseCommand(command);
}

bool Slots::OnBaseCommand(LGCP::Command const& command) {
    if (!command.query_isSelected()) return false;
    Success();
    UpdateHardwareResources();
    return true;
}

bool Slots::OnSlotCommand(LGCP::Command const& command) {
    unsigned const id = GetSlot();
    Slot* const slot = find(id);
    if (command.create_isSelected()) {
        CmdCreate(id, command.get_create());
        return true;
    }
    if (!(command.connect_isSelected() || command.disconnect_isSelected() ||
          command.destroy_isSelected() || command.activate_isSelected() ||
          command.deactivate_isSelected() || command.userData_isSelected() ||
          command.ioctl_isSelected()))
        return false;

    if (command.connect_isSelected()) {
        unsigned const target = unsigned(command.get_connect().getValue());
        if (target >= table_size) {
            Error(LGCP::ErrorCause::invalidSlot);
            return true;
        }
        Slot* const destination = find(target);
        if (!slot || !destination)
            Error(LGCP::ErrorCause::slotNotExists);
        else if (Connect(*slot, *destination))
            Success();
        else
            Error(LGCP::ErrorCause::connectFail);
        return true;
    }
    if (!slot) {
        Error(LGCP::ErrorCause::slotNotExists);
        return true;
    }
    if (command.destroy_isSelected()) {
        CmdDestroy(slot);
        return true;
    }

    bool done = false;
    LGCP::ErrorCause::NamedNumber failure = LGCP::ErrorCause::unsupported;
    if (command.disconnect_isSelected()) {
        done = Disconnect(*slot);
        failure = LGCP::ErrorCause::disconnectFail;
    } else if (command.activate_isSelected()) {
        done = slot->IActivate(command.get_activate());
    } else if (command.deactivate_isSelected()) {
        done = slot->IDeactivate();
    } else if (command.userData_isSelected()) {
        done = slot->IUserData(command.get_userData());
    } else {
        done = slot->Ioctl(command.get_ioctl());
    }
    if (done)
        Success();
    else
        Error(failure);
    return true;
}

void Slots::CmdCreate(unsigned id, LGCP::CreateParams const& params) {
    if (Slot* const old = find(id)) {
        if (old->is_releasing()) {
            Error(LGCP::ErrorCause::destroyInProgress);
            return;
        }
        if (!Destroy(old)) {
            Error(LGCP::ErrorCause::slotIdBusy);
            return;
        }
    }
    Slot* slot = nullptr;
    for (SlotFactory* factory = firstFactory; factory && !slot; factory = factory->next())
        slot = factory->NewSlot(params);
    if (!slot) {
        Error(LGCP::ErrorCause::insufficientResources);
        return;
    }
    slot->id_ = id;
    created_.push_back(slot);
    table_[id] = slot;
    Success();
    slot->IAfterCreate();
}

void Slots::CmdDestroy(Slot* slot) {
    if (slot->is_releasing()) {
        Error(LGCP::ErrorCause::destroyInProgress);
        return;
    }
    if (Destroy(slot)) {
        Success();
        return;
    }
    // The slot finishes later; on_release() sends the answer.
    slot->delayedSeq_ = delayResponse();
}

void Slots::Detach(Slot* slot) {
    Disconnect(*slot);
    for (size_t n = slot->consumers_.size(); n > 0; --n) {
        if (slot->consumers_.empty()) {
            std::cerr << "mux internal error: expected slots not exists." << std::endl;
            break;
        }
        Disconnect(*slot->consumers_.front());
    }
    if (slot->consumers_.empty()) return;
    std::cerr << "mux internal error: unexpected slots exists." << std::endl;
    // No consumer may keep a source that is about to go.
    for (Slot* consumer : slot->consumers_)
        if (consumer->source_ == slot) consumer->source_ = nullptr;
    slot->consumers_.clear();
}

bool Slots::Destroy(Slot* slot) {
    Detach(slot);
    slot->releasing_ = true;
    if (!slot->BeforeDestroy()) return false;
    int_destroy(slot);
    return true;
}

void Slots::on_release(Slot* slot) {
    if (slot->delayedSeq_) delayedSuccess(slot->id_, *slot->delayedSeq_);
    int_destroy(slot);
}

void Slots::int_destroy(Slot* slot) {
    // A slot whose destruction was deferred may have been connected again
    // meanwhile: nothing keeps a pointer to it once it is gone.
    Detach(slot);
    created_.erase(std::remove(created_.begin(), created_.end(), slot), created_.end());
    if (slot->id_ < table_size && table_[slot->id_] == slot) table_[slot->id_] = nullptr;
    delete slot;
}

void Slots::OnDisconnect() {
    std::vector<Slot*> aside;
    while (!created_.empty()) {
        Slot* const slot = created_.front();
        if (!slot->is_releasing() && Destroy(slot)) continue;
        // Still finishing: taken off the list, deleted after the pause.
        created_.erase(created_.begin());
        aside.push_back(slot);
    }
    pause_fully(release_pause_ms_);
    for (Slot* slot : aside) {
        if (slot->factory_) slot->factory_->Remove(slot);
        int_destroy(slot);
    }
}

void Slots::OnSignal(LGCP::Signal const& signal) {
    if (!signal.trunkStatus_isSelected()) return;
    for (SlotFactory* factory = firstFactory; factory; factory = factory->next())
        factory->SelfSignal(signal);
}

void Slots::UpdateHardwareResources() {
    LGCP::Signal signal;
    LGCP::Resources& resources = signal.select_query();
    resources.set_rtp_g729(0);
    resources.set_rtp_g723(0);
    resources.set_rtp_g711(0);
    resources.set_rtp_g711mcc(0);
    resources.set_modem(0);
    resources.set_mcc_data(0);
    resources.set_mcc_bri(0);
    resources.set_mcc_trans(0);
    resources.set_t38_instances(0);
    resources.set_digital_modems(0);
    resources.set_lin16(0);
    resources.set_mux(true);
    for (SlotFactory* factory = firstFactory; factory; factory = factory->next())
        factory->Query(resources);
    SendSignal(signal);
}
