#pragma once
// Recorders that stand where the code under test calls out: LinkRecorder is
// the user of a control connection and keeps what the connection tells it,
// with the times; EventClient is a main-loop event that keeps every call of
// its callback and then runs an optional step. PairService stands for the
// acceptor: a control connection made over one end of a connected pair.

#include <functional>
#include <string>
#include <vector>

#include "runtime/loop/event.h"
#include "server/service_net.h"
#include "tests/support/loop.h"

namespace support {

class LinkRecorder : public Control::Notify {
public:
    void OnConnect() override;
    void OnDisconnect() override;
    void OnMessage(char const* data, int length) override;

    int connects = 0;
    int disconnects = 0;
    std::vector<Clock::time_point> connectTimes;
    std::vector<Clock::time_point> disconnectTimes;
    std::vector<std::string> messages;
};

// Connected(fd, peer) makes the connection; no debug lines.
class PairService : public Control::ServiceNet {
public:
    PairService() { debug(false); }
    bool ImplActivate() override { return true; }
    void ImplDeactivate() override {}
    void ImplOnDisconnect() override {}
};

class EventClient {
public:
    struct Call {
        int fd;
        short revents;
    };

    explicit EventClient(std::string const& name = "Client::OnEvent");
    void OnEvent(int fd, short revents);

    Event event;
    std::vector<Call> calls;
    std::function<void(int, short)> step;
};

}  // namespace support
