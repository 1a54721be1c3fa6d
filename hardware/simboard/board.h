#pragma once
// The simulated board behind the device layer of a host build. It holds the
// drivers' models, hands out one end of a socket pair per open (the board
// keeps the other end: event records go out on it as packets, bytes the
// server writes come in on it, its end of file is the last close), finds the
// open behind any duplicate of a descriptor by the descriptor's identity,
// dispatches each request by (path, request number) to the model that
// serves it, and keeps an ordered log of the requests.
//
// It starts on first use under MOBREL_ROOT: the device files of the present
// drivers are made in $MOBREL_ROOT/dev (an open of a path whose file is
// missing fails with ENOENT), the description /simboard/board.conf is run as
// board-tool commands, and the control socket /simboard/control.sock serves
// the board tool from the main loop.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "hardware/simboard/model.h"
#include "hardware/simboard/paths.h"
#include "hardware/simboard/request_log.h"
#include "runtime/loop/event.h"
#include "runtime/system/fd.h"

namespace SimBoard {

class ControlSocket;

// One open of a device path, shared by every duplicate of its descriptor.
struct OpenFile {
    unsigned serial = 0;
    std::string path;
    // How the log and the commands name the device ("hal", "mcc/ctl").
    char const* label = "";
    // The number after the path's prefix for a unit path ("/dev/mdm3": 3).
    int unit = -1;
    Fd board_end;
    dev_t dev = 0;
    ino_t ino = 0;
    Event event;
    // The model's own state of this open, when it keeps one.
    std::shared_ptr<void> state;
};

class Board {
public:
    static Board& instance();
    ~Board();

    // The device layer's calls.
    int open(char const* path, int flags);
    int ioctl(int fd, uint32_t request, void* record);
    int ioctlValue(int fd, uint32_t request, unsigned long value);
    ssize_t read(int fd, void* buffer, size_t size);
    ssize_t write(int fd, void const* data, size_t size);
    int netif(char const* name, uint32_t request, void* data, size_t size);

    // Runs one board-tool command line; the reply text. What the server
    // has written and closed before is taken in first, so the command sees it.
    std::string command(std::string const& line);

    // Sends an event record to one open (false, with a line, when its
    // socket does not take it).
    bool post(OpenFile& file, uint8_t const* data, size_t size);
    // Ends an open from the board's side: the server's descriptor sees a
    // hang-up and end of file, and the board forgets the open.
    void hangup(OpenFile& file);
    // Takes in what the server has written to every open and the opens it
    // has closed, which the loop would otherwise see on a later pass. A
    // driver whose answer depends on the closes calls it first.
    void take_pending();
    // The opens of a path, oldest first.
    std::vector<OpenFile*> opens(char const* path) const;

    // The file of a device path under MOBREL_ROOT, which makes the device
    // present; removing it makes the device absent.
    void make_device_file(std::string const& path);
    void remove_device_file(std::string const& path);

    RequestLog& log() { return log_; }

private:
    Board();
    void start();
    void add(Model* model);
    Model* model_of(std::string const& path, uint32_t request, Request const*& found) const;
    // The first model serving the path; null when none does.
    Model* first_model(std::string const& path, int& unit) const;
    bool serves(std::string const& path) const;
    OpenFile* find(int fd) const;
    int fault(std::string const& path, char const* request_name);
    unsigned& next_serial(char const* label);
    int request(int fd, uint32_t number, Request::Arg arg, uint8_t* record, unsigned long value);
    void on_board_end(OpenFile* file, short revents);
    void close_file(OpenFile* file);

    void global_command(Words const& words, std::ostream& out);
    // The help entries of a command given in part, each on its own line
    // (one entry after a space); empty when the command has none.
    std::string usage(Words const& words);
    void run_description();

    struct Fault {
        std::string path;
        std::string request;
        int error;
        int remaining;  // -1: until cleared
    };

    bool rooted_ = false;
    std::vector<std::unique_ptr<Model>> models_;
    std::vector<std::unique_ptr<OpenFile>> files_;
    std::vector<Fault> faults_;
    // The number the next open of each device gets, by label; from 1.
    std::vector<std::pair<char const*, unsigned>> serials_;
    RequestLog log_;
    std::unique_ptr<ControlSocket> control_;
};

}  // namespace SimBoard
