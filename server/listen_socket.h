#pragma once
// The steps that turn a bound-to-be socket into a listening one, shared by
// the TCP and the Unix-domain acceptors: bind, listen with a backlog of one,
// non-blocking mode. The acceptor decides what a failed step means (a failed
// bind is retried on the same socket, any other failure on a new one).

#include <sys/socket.h>

#include "runtime/system/fd.h"

namespace Control {

enum class ListenStep { listening, bind_failed, failed };

// With `report`, the failed step writes its line on the error stream.
ListenStep Listen(Fd const& listener, sockaddr const* address, socklen_t size, bool report);

}  // namespace Control
