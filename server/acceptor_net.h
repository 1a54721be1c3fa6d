#pragma once
// The TCP acceptors. AcceptorNet listens on a port of all interfaces
// (backlog 1), retries every 5000 ms until it listens, takes one connection
// at a time and refuses every further one while a connection stands
// (acceptor.h). AcceptorNetCheckConnection, the acceptor of the control port,
// also checks the standing connection every second and closes it when the
// kernel reports it broken; a refused attempt switches it into a check mode
// with fast TCP keep-alive (1 s idle, 1 s interval, 3 probes).

#include <cstdint>

#include "runtime/loop/timer.h"
#include "runtime/system/fd.h"
#include "server/acceptor.h"
#include "server/service_net.h"

namespace Control {

class AcceptorNet : public Acceptor<ServiceNet> {
public:
    AcceptorNet();
    explicit AcceptorNet(int port);
    AcceptorNet(int port, bool debug);
    ~AcceptorNet() override;

    unsigned short port() const { return port_; }

protected:
    bool ImplActivate() override;
    Fd NewSocket() const override;
    ListenStep Listen(Fd const& listener) override;
    INet4::Addr PeerOf(sockaddr_storage const& address, socklen_t size) const override;

private:
    unsigned short port_ = 0;
};

class AcceptorNetCheckConnection : public AcceptorNet {
public:
    static constexpr unsigned check_period_ms = 1000;
    struct CheckConnectionState {
        enum Type : uint32_t { Idle = 0, CheckConnection = 1 };
    };

    AcceptorNetCheckConnection();
    explicit AcceptorNetCheckConnection(int port);
    AcceptorNetCheckConnection(int port, bool debug);
    ~AcceptorNetCheckConnection() override;

    void CheckConnection();
    void SetupKeepAlive(bool fast);
    void OnCheckConnectionTimeout(Timer*);
    CheckConnectionState::Type check_state() const { return check_state_; }

protected:
    bool ImplActivate() override;
    void ImplDeactivate() override;
    void ImplOnDisconnect() override;
    void ImplRefuseConnection() override;
    void ImplConnected(Fd const& fd) override;

private:
    Timer check_timer_;
    Fd check_socket_;
    CheckConnectionState::Type check_state_ = CheckConnectionState::Idle;
    int32_t check_counter_ = 0;
};

}  // namespace Control
