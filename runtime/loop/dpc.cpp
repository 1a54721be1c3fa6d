#include "runtime/loop/dpc.h"

#include "runtime/loop/multiplexer.h"

Dpc::~Dpc() {
    Deactivate();
}

void Dpc::Activate() {
    if (!active_) Multiplexer::instance().attach(this);
    active_ = true;
}

void Dpc::Deactivate() {
    if (active_) Multiplexer::instance().dettach(this);
    active_ = false;
}
