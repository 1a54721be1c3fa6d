#pragma once
// Control::Acceptor<Link>: the listening and accepting steps that the TCP and
// the Unix-domain acceptors share, on top of their service form Link
// (ServiceNet or ServiceUnix). It makes a listening socket (bind, listen with
// a backlog of one, non-blocking mode), retries a failed bind every 5000 ms
// on the same socket and any other failed step on a new one, accepts every
// pending connection, takes the first while none stands and refuses the
// others. The family's part is the socket, the address it listens on, and
// the name of an accepted peer.

#include <sys/socket.h>

#include "runtime/loop/event.h"
#include "runtime/loop/timer.h"
#include "runtime/system/fd.h"

namespace Control {

template <class Link>
class Acceptor : public Link {
public:
    using Peer = typename Link::Peer;

    static constexpr unsigned bind_retry_ms = 5000;

    ~Acceptor() override;

    void BindSocket();
    void OnTimeout(Timer*);
    void OnSocketEvent(int fd, short revents);
    bool listening() const { return event_.IsActive(); }

protected:
    enum class ListenStep { listening, bind_failed, failed };

    // The listening event carries the name given.
    explicit Acceptor(char const* event_name);

    void ImplDeactivate() override;
    void ImplOnDisconnect() override {}
    virtual void ImplRefuseConnection() {}
    virtual void ImplConnected(Fd const&) {}

    // The family's part: a new socket with its options (invalid when
    // socket() failed), ...
    virtual Fd NewSocket() const = 0;
    // ... binding and listening it, through ListenOn with its address ...
    virtual ListenStep Listen(Fd const& listener) = 0;
    // ... and the peer of an accepted connection.
    virtual Peer PeerOf(sockaddr_storage const& address, socklen_t size) const = 0;

    // Binds the listener to the address, listens and makes it non-blocking;
    // the failed step writes its line on the error stream (debug).
    ListenStep ListenOn(Fd const& listener, sockaddr const* address, socklen_t size) const;

private:
    bool CreateSocket();
    // Closes the listening socket and tries again after bind_retry_ms.
    void RetryLater();
    // Takes the accepted connection, or refuses it while one stands.
    void Take(Fd const& socket, Peer const& peer);

    Fd listener_;
    Timer bind_timer_;
    Event event_;
};

}  // namespace Control
