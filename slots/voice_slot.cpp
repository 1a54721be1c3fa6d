#include "slots/voice_slot.h"

std::string dhost2str(TERM::HostAddress const& host) {
    return std::string(host.get_iaddr()) + ":" + std::to_string(host.get_port().getValue());
}
