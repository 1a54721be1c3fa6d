#pragma once
// The control server: the one place where controller messages are decoded,
// dispatched to the bound control services and answered, and where every
// signal leaves for the controller. It sits above the control connection as
// that connection's Control::Notify. Services are offered each command in
// bind order until one takes it; the server makes sure every decoded command
// gets exactly one success or one error (an error may follow a success), with
// the command's sequence and slot numbers.
//
// There is one server, the global ctrlServer; start-up binds the services,
// then hands it the control-port acceptor, which it owns from then on.

#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

#include "asn1/coders/spare_values.h"
#include "messages/lgcp/lgcp.h"
#include "server/control_service.h"

namespace CtrlSrv {

class Server;

// A control service: takes some commands, may watch signals that other
// services send, and hears of the controller's connection.
class Service {
public:
    Service() = default;
    Service(Service const&) = delete;
    Service& operator=(Service const&) = delete;
    virtual ~Service() = default;

    virtual void OnConnect() = 0;
    virtual void OnDisconnect() = 0;
    // True when the service takes the command (and answers it).
    virtual bool OnCommand(LGCP::Command const& command) = 0;
    // A signal that another service is sending.
    virtual void OnSignal(LGCP::Signal const&) {}

    // True when bound; otherwise reports the misuse on the error stream.
    bool CheckServer() const;
    void Success();
    void Error(LGCP::ErrorCause::NamedNumber cause);
    void delayedSuccess(unsigned int slot, unsigned int seq);
    unsigned int GetSlot() const;
    bool IsSlotPresent() const;
    unsigned int delayResponse();
    // Offered first to every other bound service, then sent.
    void SendSignal(LGCP::Signal const& signal);
    void SendSignal(unsigned int slot, LGCP::Signal const& signal);
    // False when unbound, else whether the server holds a link, with its state.
    bool CheckServerConnection(bool& connected) const;

    Server* server() const { return server_; }

private:
    friend class Server;
    void offer_signal(LGCP::Signal const& signal);

    Server* server_ = nullptr;
};

class Server : public Control::Notify {
public:
    static constexpr uint32_t no_slot = 0xFFFFFFFF;
    static constexpr uint32_t max_slot = 1023;

    enum Answered : uint32_t { not_answered = 0, success_sent = 1, error_sent = 2 };

    Server() = default;
    ~Server() override;

    void Bind(Service* service);
    // Takes ownership of link, names it "server" and activates it.
    bool Activate(Control::Service* link);
    // Deactivates and deletes the link; every service hears a disconnect.
    void Deactivate();

    void OnConnect() override;
    void OnDisconnect() override;
    void OnMessage(char const* data, int length) override;
    // Closes the controller connection, when there is one.
    void OnHeartbeatTimeout();
    bool CheckServerConnection(bool& connected) const;

    void Success();
    void Error(LGCP::ErrorCause::NamedNumber cause);
    void SendSignal(LGCP::Signal const& signal);
    void SendSignal(unsigned int slot, LGCP::Signal const& signal);
    unsigned int delayResponse();
    void delayedSuccess(unsigned int slot, unsigned int seq);
    unsigned int GetSlot() const { return slot_; }
    bool IsSlotPresent() const { return slot_ != no_slot; }

    // "ctrl [<peer>]: ", "ctrl [not connected]: " or "ctrl [null]: "
    void PutHeader(std::ostream& os) const;

    std::vector<Service*> const& services() const { return services_; }
    Control::Service* link() const { return link_.get(); }

private:
    // Decodes the frame into `message` (renewed from `spares` when given)
    // and dispatches it.
    void Receive(char const* data, int length, LGCP::Message& message, ASN1::SpareValues* spares);
    void Dispatch(LGCP::Message const& message);
    // The answer given the noted sequence and slot numbers.
    LGCP::Message& Envelope(LGCP::Message& answer) const;
    void SendMsg(LGCP::Message const& message);

    std::vector<Service*> services_;
    std::unique_ptr<Control::Service> link_;
    bool seq_present_ = false;
    int32_t seq_ = 0;
    uint32_t slot_ = no_slot;
    uint32_t answered_ = not_answered;
    // Every frame is decoded into this one message, renewed, so that the
    // messages a controller sends again and again cost no value made anew.
    LGCP::Message received_;
    ASN1::SpareValues spares_;
    bool receiving_ = false;
    // The answers, kept between commands for the same reason.
    LGCP::Message success_;
    LGCP::Message error_;
    // The octets of the message being sent.
    std::vector<char> octets_;
};

}  // namespace CtrlSrv

extern CtrlSrv::Server ctrlServer;
