#pragma once
// StrmProtocol: the bottom layer of a control-link stack. It owns one
// connected stream socket (TCP or Unix domain), hands whatever arrives upward
// as one packet per readable event, writes every packet that comes down from
// the layer above completely before returning (blocking the loop for at most
// 1000 ms per write) and turns every socket failure into an error
// deactivation of the stack. The packets sent while a read is handed upward
// (the answers to the commands it brought) are gathered and written eight
// at a time, the rest once the read has been handled or before a local
// close. Control::Service creates it, gives it its socket through attach()
// and names it for the log prefix.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "runtime/loop/event.h"
#include "runtime/loop/measure.h"
#include "runtime/protocol/protocol.h"
#include "runtime/system/fd.h"

class StrmProtocol : public Protocol {
public:
    // The whole budget of one message write, counted from its start, unless
    // the user of the connection sets another.
    static constexpr uint32_t write_budget_ms = 1000;

    StrmProtocol();
    explicit StrmProtocol(Fd const& fd);
    ~StrmProtocol() override;

    Protocol_name const& name() const override { return name_; }
    bool compare_name(Protocol_name const& other) const override { return name_.compare(other); }

    void local_prepare_head(Packet& p) override;
    void local_prepare_tail(Packet& p) override;
    void local_activate() override;
    void local_deactivate() override;
    // Writes the packet's payload to the socket.
    void message(Packet& p) override;

    // Takes its own duplicate of fd (the caller keeps and closes its copy).
    void attach(Fd const& fd);
    // Closes the socket and unregisters it, reporting nothing.
    void release();
    bool opened() const { return socket_.is_valid(); }

    int sendbuf_space() const;
    int recvbuf_space() const;
    int inq_space() const;
    int outq_space() const;
    int free_space() const;

    std::string const& service_name() const { return service_name_; }
    void service_name(std::string const& name) { service_name_ = name; }
    void write_budget(uint32_t ms) { write_budget_ms_ = ms; }
    Measure const& get_read_measure() const { return read_measure_; }
    Measure const& get_write_measure() const { return write_measure_; }
    uint32_t GetOverflowCounter() const { return overflow_counter_; }

    // "SockStream[<service name>]: "
    void PutHeader(std::ostream& os) const;

    void on_event(int fd, short revents);

private:
    void init();
    void do_read();
    void on_error(std::string const& text);
    // ", sendbuf=.., recvbuf=.., free=.., inq=.., outq=.."
    void put_queues(std::ostream& os) const;
    // Waits until the socket takes more bytes or the budget ends; false on
    // a time-out.
    bool wait_writable(uint32_t start);
    // Writes the bytes completely within the budget, or ends the connection.
    void write_out(unsigned char const* at, unsigned left);
    // Writes what was gathered while a read was handled.
    void flush_gathered();

    std::string protocol_name_text_;
    Protocol_name_str name_;
    Fd socket_;
    bool outq_reports_free_ = false;
    std::string service_name_;
    Event event_;
    Measure read_measure_;
    Measure write_measure_;
    uint32_t overflow_counter_ = 0;
    uint32_t write_budget_ms_ = write_budget_ms;
    // While a read is being handled, the messages it causes are gathered and
    // written gather_batch at a time (at most gather_limit bytes per write),
    // the rest once it has been handled.
    static constexpr unsigned gather_limit = 65536;
    static constexpr unsigned gather_batch = 8;
    bool gathering_ = false;
    std::vector<unsigned char> gathered_;
    unsigned gathered_count_ = 0;
    // What the last read received; handed upward, then used again.
    Packet input_;
};

// Plain system calls on an Fd.
long write(Fd& fd, void const* data, unsigned int size);
int close(Fd& fd);
