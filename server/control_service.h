#pragma once
// Control::Service is one framed message connection: the stack [StrmProtocol,
// Tpkt_protocol], a connection state, one bound Control::Notify that hears of
// connection, disconnection and every received message, and Send for
// outgoing messages. How a connection is made (accepted or opened) is left to
// subclasses (acceptor_net.h). A disconnection, local or remote, reaches the
// notify target one loop pass after it happened, through a deferred call, so
// the target may rebuild what the failing call chain still uses.

#include <cstdint>
#include <ostream>
#include <string>

#include "runtime/loop/dpc.h"
#include "runtime/loop/measure.h"
#include "runtime/protocol/protocols_list.h"
#include "runtime/system/fd.h"

class StrmProtocol;

namespace Control {

// The user of a connection.
class Notify {
public:
    virtual ~Notify() = default;
    virtual void OnConnect() = 0;
    virtual void OnDisconnect() = 0;
    // The bytes are valid only during the call.
    virtual void OnMessage(char const* data, int length) = 0;
};

class Service : private ProtocolsFamily {
public:
    struct State {
        enum Type : uint32_t { Idle = 0, Connecting = 1, Deactivating = 2, Connected = 3 };
    };

    Service();
    ~Service() override;

    // Deactivate(), then Connecting and ImplActivate(); back to Idle when that fails.
    bool Activate();
    // ImplDeactivate(), then Idle; tells nobody.
    void Deactivate();
    // Closes the connection through the stack; the notify target hears of it
    // on the next loop pass. Nothing while Deactivating.
    void Disconnect();
    // Frames and writes one message when connected (the bytes are copied).
    // A message longer than one frame can carry is refused with a line on
    // the error stream.
    void Send(char const* data, int length);

    void Bind(Notify* notify) { notify_ = notify; }
    void UnBind() { notify_ = nullptr; }

    State::Type GetState() const { return state_; }
    bool IsConnected() const { return state_ == State::Connected; }
    std::string const& GetAddr() const { return name_; }

    std::string const& service_name() const;
    void service_name(std::string const& name);
    // How long one message write may wait for the socket before the
    // connection ends (StrmProtocol::write_budget_ms unless set).
    void write_budget(uint32_t ms);
    uint32_t GetOverflowCounter() const;
    Measure const& get_read_measure() const;
    Measure const& get_write_measure() const;
    // Closes the connection's socket without any report.
    void Release();

protected:
    virtual bool ImplActivate() = 0;
    virtual void ImplDeactivate() = 0;
    virtual void ImplOnDisconnect() = 0;

    // For the subclasses' connection step: makes fd (a duplicate of it) the
    // connection, named `name`, and tells the notify target. The caller
    // checks first that the service is not Deactivating.
    void TakeConnection(Fd const& fd, std::string const& name);
    bool debug() const { return debug_; }
    void debug(bool on) { debug_ = on; }
    Notify* notify() const { return notify_; }

private:
    void on_message(Packet& p) override;
    void on_activated(Protocol* member) override;
    void on_deactivated(Protocol* member, Smart_pointer<Internal_protocol_status> status) override;
    void OnDeactivateDPC();

    std::string name_;
    bool debug_ = true;
    State::Type state_ = State::Idle;
    Notify* notify_ = nullptr;
    StrmProtocol* stream_;
    Dpc disconnect_call_;
    // The buffer of the last message sent, kept for the next one.
    Packet outgoing_;
};

char const* GetTextNotation(Service::State::Type state);
std::ostream& operator<<(std::ostream& os, Service::State::Type state);

}  // namespace Control
