#include "rtp/rtp_payload.h"

namespace {

struct Entry {
    TERM::Payload::NamedNumber payload;
    int type;
};

Entry const table[] = {
    {TERM::Payload::ptG711_Alaw, 8},      {TERM::Payload::ptG711_Ulaw, 0},
    {TERM::Payload::ptG723, 4},           {TERM::Payload::ptG729, 18},
    {TERM::Payload::ptG711mcc_Alaw, 136}, {TERM::Payload::ptG711mcc_Ulaw, 128},
    {TERM::Payload::ptG728, 15},
};

}  // namespace

int RtpPayloadType(int payload) {
    for (Entry const& entry : table)
        if (entry.payload == payload) return entry.type;
    return -1;
}
