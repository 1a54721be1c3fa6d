#pragma once
// How the RTP drivers (/dev/rtp, /dev/rtp_ext) show a session they have
// ended: they hang the descriptor up, so a read gives 0 bytes and poll
// reports the hang-up. A read of 0 bytes on a descriptor that is not hung
// up is an empty record, which the readers drop with a line and read on.
// The RTP slot and the extended session ask it after a read of 0 bytes.

#include <poll.h>

inline bool DriverHungUp(int fd) {
    pollfd p{fd, short(POLLIN | POLLRDHUP), 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLRDHUP | POLLERR)) != 0;
}
