#pragma once
// One connection of a PPP helper process on the PPP helper link. It reads
// the helper's frames one at a time into a 512-byte buffer, hands each
// complete frame to the modem factory (which routes it to the modem slot of
// the frame's session), remembers the session of the last frame, and sends
// the server's answer frames back. A connection that breaks, or sends a
// length outside 12 to 512, is closed; the client is deleted once the
// outermost call on it has returned, so a close inside a nested call (a
// failed write while a received frame is handled) never leaves a caller on
// freed memory.

#include <cstdint>

#include "runtime/loop/event.h"
#include "runtime/system/fd.h"
#include "runtime/system/inet.h"
#include "slots/ppp_helper_frame.h"

class ModemFactory;

// Counts the calls in progress on an object; when the outermost ends, runs
// the object's check member.
template <class T, void (T::*check)(), int32_t T::*level>
class RecursiveGuard {
public:
    explicit RecursiveGuard(T& object) : object_(object) { ++(object_.*level); }
    RecursiveGuard(RecursiveGuard const&) = delete;
    RecursiveGuard& operator=(RecursiveGuard const&) = delete;
    // The check may delete the object: nothing of it is touched after.
    ~RecursiveGuard() {
        if (--(object_.*level) == 0) (object_.*check)();
    }

private:
    T& object_;
};

class AuthClient : public Event {
public:
    // Takes the accepted connection's descriptor.
    AuthClient(Fd fd, INet4::Addr const& peer, ModemFactory& factory);

    // Waits for the helper's frames; false (errno set) when the loop cannot
    // watch the connection.
    bool Activate();
    void OnSocketEvent(int fd, short revents);
    // Writes the whole frame; false (and the connection closed) when a write
    // fails, also for a connection already closed.
    bool Send(PppHelper::Bytes const& frame);
    // Closes the connection; the client goes when the outermost call returns.
    void OnDisconnect();
    void CheckDisconnect();

    INet4::Addr const& GetAddr() const { return peer_; }
    // The session of the last complete frame; -1 before the first.
    int GetSessionId() const { return session_; }

    int32_t mRecursionLevel = 0;

private:
    using Guard = RecursiveGuard<AuthClient, &AuthClient::CheckDisconnect,
                                 &AuthClient::mRecursionLevel>;

    Fd fd_;
    INet4::Addr peer_;
    uint8_t buffer_[PppHelper::max_length] = {};
    uint8_t* read_ = buffer_;
    uint8_t* target_ = buffer_ + 4;
    ModemFactory& factory_;
    int32_t session_ = -1;
};
