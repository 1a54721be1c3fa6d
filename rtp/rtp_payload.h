#pragma once
// The RTP payload type of each codec that the controller may ask of an RTP
// stream (TERM::Payload); the RTP factories refuse a stream whose codec has
// none.

#include "messages/term/term.h"

// The payload type for the codec (0 to 255), or -1 when the table has none.
int RtpPayloadType(int payload);
