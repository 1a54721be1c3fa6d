#pragma once
// TPKTTracer: a small TCP server for trace clients. It listens on a port of
// all interfaces, accepts any number of clients, cuts TPKT frames
// (tpkt_frame.h) out of what each client sends and hands every body to an
// optional receiver, and sends a message as one TPKT frame to its clients. It
// never waits for a client: one that sends a bad frame, vanishes or does not
// take a frame at once is dropped, and the traced link goes on.

#include <cstdint>
#include <list>
#include <string>

#include "runtime/loop/event.h"
#include "server/tpkt_frame.h"

class TPKTTracer {
public:
    // The largest frame body a client may send.
    static constexpr unsigned buffer_size = 512;
    // The largest body a frame can carry.
    static constexpr unsigned max_send = Tpkt::max_payload;
    // Bytes read from one client per loop pass, so that a client that never
    // stops sending cannot hold the loop.
    static constexpr unsigned read_budget = 65536;

    // The receiver of the frames that clients send.
    class Notify {
    public:
        virtual ~Notify() = default;
        // The body of one complete frame; valid only during the call.
        virtual void OnPacket(char const* data, unsigned int length) = 0;
    };

    struct Connection {
        Tpkt::Reader reader{buffer_size};
        uint32_t received = 0;  // body bytes of the frame being read
        Event event;
        std::string peer;
        unsigned char buffer[buffer_size];
    };
    using Iterator = std::list<Connection*>::iterator;

    TPKTTracer();
    ~TPKTTracer();
    TPKTTracer(TPKTTracer const&) = delete;
    TPKTTracer& operator=(TPKTTracer const&) = delete;

    // Listens on the port (host order) of all interfaces, backlog 1. False
    // (logged) when any step fails; nothing is left open then.
    bool Listen(unsigned short port);
    void OnEvent(int fd, short events);
    void OnDataEvent(int fd, short events);
    // Sends one frame: only to the client being served when called from the
    // receiver, else to every client. The last system call's result; -1 for
    // a body no frame can carry (logged, nothing sent).
    int Send(void const* data, unsigned int length);
    void CloseConnection(Iterator connection);
    Iterator FindConnection(int fd);

    void SetReceiver(Notify* receiver) { receiver_ = receiver; }
    bool listening() const { return listen_event_.IsActive(); }
    std::size_t connection_count() const { return connections_.size(); }
    // The client being served, or the end of the list.
    Iterator current() const { return current_; }
    Iterator end() { return connections_.end(); }

private:
    // Takes the bytes a client sent; false when the connection was closed.
    bool Take(Connection& connection, unsigned char const* data, std::size_t size);
    void DropBadClient(char const* reason);

    Notify* receiver_ = nullptr;
    Event listen_event_;
    std::list<Connection*> connections_;
    Iterator current_;
};
