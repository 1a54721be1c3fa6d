#pragma once
// A DSP driver's device whose event records the main loop delivers: the
// device is opened non-blocking and registered for POLLIN, and when it is
// readable every waiting record is read and dispatched. Only a whole record
// is one: a short read is reported and ends the round, so it is never taken
// for a record. A hang-up, an error or an end of file closes the device with
// one line, so the loop never polls a dead descriptor again; the next
// request opens it again (fd()).

#include <cstddef>
#include <cstdint>

#include "runtime/loop/event.h"

namespace Hardware {

class RecordDevice : public Event {
public:
    struct Spec {
        char const* path;
        int flags;         // besides O_NONBLOCK
        char const* word;  // "tonec": "fail to read from tonec: ..."
        char const* open_failure;
        char const* handler;  // the handler's name in the status dump
        size_t record_size;   // at most max_record
    };
    static constexpr size_t max_record = 32;

    explicit RecordDevice(Spec const& spec) : spec_(spec) {}

    // Opens the device and registers it; false (with the open failure and
    // the error text on the error stream) when it cannot be opened.
    bool init();
    // Reads and dispatches every waiting record.
    void OnEvent(int fd, short revents);
    // The open device for a request, opened again when it was closed; -1
    // (with the open failure on the error stream) when it cannot be.
    int fd();

protected:
    // One whole record of record_size bytes.
    virtual void dispatch(uint8_t const* record) = 0;
    // The device has been closed: the driver has forgotten what was
    // switched on through it.
    virtual void closed() {}

private:
    // "tonec interface closed: hang-up"
    void close(char const* why);

    Spec const& spec_;
};

}  // namespace Hardware
