#pragma once
// The simulated board's control socket: a Unix stream socket served from the
// main loop. A client writes command lines and shuts down its sending side;
// the board runs each line and writes the replies back, then closes. A reply
// is bounded (the lines after the bound is reached are not run, and a last
// line says so) and goes out as the client reads it without holding up the
// loop, however slowly it reads; a client that sends nothing of its request
// or takes nothing of its reply for two seconds is dropped. A few clients
// are served at once; one more is refused with an error line as its reply.

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "runtime/loop/event.h"

namespace SimBoard {

class Board;

class ControlSocket {
public:
    // Whether a server answers on the socket of that path.
    static bool live(std::string const& path);

    ControlSocket(Board& board, std::string const& path);
    // Removes the socket file, when it is still the one this object made.
    ~ControlSocket();

private:
    struct Client;
    void on_accept(int fd, short revents);
    void on_client(Client* client, short revents);
    // The replies of the request's lines, within the bound.
    std::string answer(std::string const& request);
    // Sends what the socket takes of the reply; false when the client is
    // dropped (gone, or its whole reply sent).
    bool send_some(Client* client);
    // Why a client is refused, and the line it is answered with.
    static std::string busy();
    static std::string busy_line();
    void drop(Client* client);

    Board& board_;
    std::string path_;
    // The identity of the socket file made here.
    dev_t dev_ = 0;
    ino_t ino_ = 0;
    Event listener_;
    std::vector<std::unique_ptr<Client>> clients_;
};

}  // namespace SimBoard
