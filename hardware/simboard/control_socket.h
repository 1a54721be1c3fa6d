#pragma once
// The simulated board's control socket: a Unix stream socket served from the
// main loop. A client writes command lines and shuts down its sending side;
// the board runs each line and writes the replies back, then closes. A reply
// is bounded (the lines after the bound is reached are not run, and a last
// line says so), goes out as the client reads it without holding up the
// loop, and a client that reads nothing for two seconds is dropped.

#include <memory>
#include <string>
#include <vector>

#include "runtime/loop/event.h"

namespace SimBoard {

class Board;

class ControlSocket {
public:
    ControlSocket(Board& board, std::string const& path);
    ~ControlSocket();

private:
    struct Client;
    void on_accept(int fd, short revents);
    void on_client(Client* client, short revents);
    // The replies of the request's lines, within the bound.
    std::string answer(std::string const& request);
    void send_some(Client* client);
    void drop(Client* client);

    Board& board_;
    std::string path_;
    Event listener_;
    std::vector<std::unique_ptr<Client>> clients_;
};

}  // namespace SimBoard
