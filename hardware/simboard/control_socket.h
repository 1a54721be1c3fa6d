#pragma once
// The simulated board's control socket: a Unix stream socket served from the
// main loop. A client writes command lines and shuts down its sending side;
// the board runs each line and writes the replies back, then closes.

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
    void drop(Client* client);

    Board& board_;
    std::string path_;
    Event listener_;
    std::vector<std::unique_ptr<Client>> clients_;
};

}  // namespace SimBoard
