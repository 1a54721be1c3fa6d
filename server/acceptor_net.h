#pragma once
// The TCP forms of Control::Service. ServiceNet makes a connected TCP socket
// the service's connection. AcceptorNet listens on a port of all interfaces
// (backlog 1), retries every 5000 ms until it listens, takes one connection
// at a time and refuses every further one while a connection stands.
// AcceptorNetCheckConnection, the acceptor of the control port, also checks
// the standing connection every second and closes it when the kernel reports
// it broken; a refused attempt switches it into a check mode with fast TCP
// keep-alive (1 s idle, 1 s interval, 3 probes).

#include <cstdint>

#include "runtime/loop/event.h"
#include "runtime/loop/timer.h"
#include "runtime/system/fd.h"
#include "runtime/system/inet.h"
#include "server/control_service.h"

namespace Control {

class ServiceNet : public Service {
public:
    // Makes fd the connection (nothing while Deactivating); the caller keeps
    // and closes its own fd.
    void Connected(Fd const& fd, INet4::Addr const& peer);
    INet4::Addr const& peer() const { return peer_; }

private:
    INet4::Addr peer_;
};

class AcceptorNet : public ServiceNet {
public:
    static constexpr unsigned bind_retry_ms = 5000;

    AcceptorNet();
    explicit AcceptorNet(int port);
    AcceptorNet(int port, bool debug);
    ~AcceptorNet() override;

    void BindSocket();
    void OnTimeout(Timer*);
    void OnSocketEvent(int fd, short revents);
    unsigned short port() const { return port_; }
    bool listening() const { return event_.IsActive(); }

protected:
    bool ImplActivate() override;
    void ImplDeactivate() override;
    void ImplOnDisconnect() override {}
    virtual void ImplRefuseConnection() {}
    virtual void ImplConnected(Fd const&) {}

private:
    void init();
    // Creates the listening socket; false (logged) when that fails.
    bool CreateSocket();
    // Closes the listening socket and tries again after bind_retry_ms.
    void RetryLater();

    unsigned short port_ = 0;
    Fd listener_;
    Timer bind_timer_;
    Event event_;
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
