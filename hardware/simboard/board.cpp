#include "hardware/simboard/board.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

#include "hardware/simboard/control_socket.h"
#include "hardware/simboard/models.h"
#include "runtime/system/platform_path.h"

namespace SimBoard {

namespace {

char const header[] = "simulated board: ";

// The records of one open taken in per loop pass at most.
int const records_per_pass = 64;

// Whether the server's end of the socket pair has closed.
bool hung_up(int board_end) {
    pollfd entry{board_end, 0, 0};
    return ::poll(&entry, 1, 0) == 1 && (entry.revents & (POLLHUP | POLLERR));
}

// Calls the board back with the open whose board end is ready.
class EndHandler : public Event::Handler {
public:
    EndHandler(Board& board, OpenFile* file, void (Board::*member)(OpenFile*, short))
        : board_(board), file_(file), member_(member) {}
    void Invoke(int, short revents) override { (board_.*member_)(file_, revents); }

private:
    Board& board_;
    OpenFile* file_;
    void (Board::*member_)(OpenFile*, short);
};

// "/dev/mcc/ctl" -> "mcc/ctl": how the log and the commands name a device.
char const* label_of(char const* path) {
    return std::strncmp(path, "/dev/", 5) == 0 ? path + 5 : path;
}

// Whether a model's path serves this path; the unit number of a unit path.
bool path_matches(char const* pattern, std::string const& path, int& unit) {
    size_t const n = std::strlen(pattern);
    if (n == 0 || pattern[n - 1] != '*') return path == pattern;
    if (path.size() < n || path.compare(0, n - 1, pattern, n - 1) != 0) return false;
    char* end = nullptr;
    char const* digits = path.c_str() + n - 1;
    long const value = std::strtol(digits, &end, 10);
    if (end == digits || *end != '\0' || value < 0 || value > 65535) return false;
    unit = int(value);
    return true;
}

bool make_parents(std::string const& file) {
    for (size_t at = file.find('/', 1); at != std::string::npos; at = file.find('/', at + 1)) {
        std::string const dir = file.substr(0, at);
        if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    return true;
}

Words split(std::string const& line) {
    Words words;
    std::istringstream in(line);
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

}  // namespace

Board& Board::instance() {
    static Board board;
    return board;
}

Board::Board() { start(); }

Board::~Board() = default;

void Board::start() {
    char const* root = std::getenv("MOBREL_ROOT");
    rooted_ = root && *root;
    models_ = MakeModels(*this);
    if (!rooted_) {
        std::cerr << header << "MOBREL_ROOT is not set: the board has no devices" << std::endl;
        return;
    }
    // Another server's board on this root: its devices and its tool stay its own.
    std::string const control = Platform::path(control_path);
    if (ControlSocket::live(control)) {
        std::cerr << header << "another server is using the board of this MOBREL_ROOT (" << control
                  << " answers); not starting" << std::endl;
        std::exit(2);
    }
    for (auto const& model : models_) {
        std::string const path = model->path();
        if (path.back() != '*') make_device_file(path);
    }
    run_description();
    make_parents(control);
    control_ = std::make_unique<ControlSocket>(*this, control);
}

void Board::make_device_file(std::string const& path) {
    if (!rooted_) return;
    std::string const file = Platform::path(path);
    if (!make_parents(file)) return;
    int unit = -1;
    if (Model* const model = first_model(path, unit))
        if (model->make_file(file)) return;
    int const fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) ::close(fd);
}

void Board::remove_device_file(std::string const& path) {
    if (rooted_) ::unlink(Platform::path(path).c_str());
}

void Board::run_description() {
    std::ifstream in(Platform::path(description_path));
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        size_t const hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        if (split(line).empty()) continue;
        std::string const reply = command(line);
        if (reply.compare(0, 7, "error: ") == 0)
            std::cerr << header << description_path << " line " << number << ": "
                      << reply.substr(7);
    }
}

Model* Board::first_model(std::string const& path, int& unit) const {
    for (auto const& model : models_)
        if (path_matches(model->path(), path, unit)) return model.get();
    return nullptr;
}

bool Board::serves(std::string const& path) const {
    int unit = -1;
    return first_model(path, unit) != nullptr;
}

int Board::open(char const* path, int flags) {
    std::string const name = path ? path : "";
    int unit = -1;
    Model const* const first = first_model(name, unit);
    if (!rooted_ || !first || ::access(Platform::path(name).c_str(), F_OK) != 0) {
        errno = ENOENT;
        return -1;
    }
    char const* const label = label_of(first->path());
    unsigned& serial = next_serial(label);
    log_.add(label, "open", serial, nullptr, 0, 0);
    if (int const error = fault(name, "open")) {
        log_.fail_last(error);
        errno = error;
        return -1;
    }
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) return -1;
    struct stat st {};
    ::fstat(ends[0], &st);
    if (!(flags & O_CLOEXEC)) SetCloexec(ends[0], false);
    if (flags & O_NONBLOCK) NonBlockMode(ends[0]);

    auto file = std::make_unique<OpenFile>();
    file->serial = serial++;
    file->path = name;
    file->label = label;
    file->unit = unit;
    file->board_end = Fd(ends[1]);
    NonBlockMode(ends[1]);
    file->dev = st.st_dev;
    file->ino = st.st_ino;
    OpenFile* const raw = file.get();
    raw->event.Bind(new EndHandler(*this, raw, &Board::on_board_end));
    raw->event.Schedule(raw->board_end, POLLIN);
    files_.push_back(std::move(file));
    for (auto const& model : models_) {
        int unit = -1;
        if (path_matches(model->path(), name, unit)) model->opened(*raw);
    }
    return ends[0];
}

unsigned& Board::next_serial(char const* label) {
    for (auto& entry : serials_)
        if (std::strcmp(entry.first, label) == 0) return entry.second;
    serials_.emplace_back(label, 1);
    return serials_.back().second;
}

OpenFile* Board::find(int fd) const {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return nullptr;
    for (auto const& file : files_)
        if (file->dev == st.st_dev && file->ino == st.st_ino) return file.get();
    return nullptr;
}

Model* Board::model_of(std::string const& path, uint32_t number, Request const*& found) const {
    for (auto const& model : models_) {
        int unit = -1;
        if (!path_matches(model->path(), path, unit)) continue;
        for (Request const& r : model->requests())
            if (r.number == number) {
                found = &r;
                return model.get();
            }
    }
    return nullptr;
}

int Board::fault(std::string const& path, char const* request_name) {
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        if (it->path != path || (it->request != "*" && it->request != request_name)) continue;
        int const error = it->error;
        if (it->remaining > 0 && --it->remaining == 0) faults_.erase(it);
        return error;
    }
    return 0;
}

int Board::request(int fd, uint32_t number, Request::Arg arg, uint8_t* record,
                   unsigned long value) {
    OpenFile* const file = find(fd);
    if (!file) {
        errno = fcntl(fd, F_GETFD) < 0 ? EBADF : ENOTTY;
        return -1;
    }
    Request const* spec = nullptr;
    Model* const model = model_of(file->path, number, spec);
    char const* const label = file->label;
    if (!model) {
        uint32_t const word = number;
        log_.add(label, "unknown request", file->serial, &word, 1, ENOTTY);
        errno = ENOTTY;
        return -1;
    }
    if (spec->arg != arg) {
        uint32_t const word = uint32_t(value);
        log_.add(label, spec->name, file->serial, &word, arg == Request::value ? 1 : 0, EFAULT);
        errno = EFAULT;
        return -1;
    }
    if (arg == Request::pointer) {
        log_.add_record(label, spec->name, file->serial, record, spec->size);
    } else {
        uint32_t const word = uint32_t(value);
        log_.add(label, spec->name, file->serial, &word, 1, 0);
    }
    int result = -fault(file->path, spec->name);
    if (result == 0) result = model->serve(*file, *spec, record, value);
    if (result >= 0) return result;
    log_.fail_last(-result);
    errno = -result;
    return -1;
}

int Board::ioctl(int fd, uint32_t number, void* record) {
    if (!record) {
        errno = EFAULT;
        return -1;
    }
    return request(fd, number, Request::pointer, static_cast<uint8_t*>(record), 0);
}

int Board::ioctlValue(int fd, uint32_t number, unsigned long value) {
    return request(fd, number, Request::value, nullptr, value);
}

ssize_t Board::read(int fd, void* buffer, size_t size) {
    if (OpenFile* const file = find(fd))
        if (int const error = fault(file->path, "read")) {
            errno = error;
            return -1;
        }
    ssize_t const waiting = ::recv(fd, buffer, size, MSG_PEEK | MSG_TRUNC);
    if (waiting < 0) return -1;
    if (size_t(waiting) > size) {
        errno = EMSGSIZE;
        return -1;
    }
    return ::recv(fd, buffer, size, 0);
}

ssize_t Board::write(int fd, void const* data, size_t size) {
    if (OpenFile* const file = find(fd))
        if (int const error = fault(file->path, "write")) {
            errno = error;
            return -1;
        }
    return ::send(fd, data, size, MSG_NOSIGNAL);
}

int Board::netif(char const* name, uint32_t number, void* data, size_t size) {
    int result = -ENODEV;
    for (auto const& model : models_) {
        result = model->netif(name, number, static_cast<uint8_t*>(data), size);
        if (result != -ENODEV) break;
    }
    if (result >= 0) return result;
    errno = -result;
    return -1;
}

bool Board::post(OpenFile& file, uint8_t const* data, size_t size) {
    if (::send(file.board_end.lowlevel_fd(), data, size, MSG_DONTWAIT | MSG_NOSIGNAL) ==
        ssize_t(size))
        return true;
    Errno const error;
    std::cerr << header << file.label << '#' << file.serial
              << ": event record lost: " << error << std::endl;
    return false;
}

void Board::hangup(OpenFile& file) {
    log_.add(file.label, "hangup", file.serial, nullptr, 0, 0);
    // The board's own end then reads end of file, which closes the open.
    ::shutdown(file.board_end.lowlevel_fd(), SHUT_RDWR);
}

std::vector<OpenFile*> Board::opens(char const* path) const {
    std::vector<OpenFile*> found;
    for (auto const& file : files_)
        if (file->path == path) found.push_back(file.get());
    return found;
}

void Board::on_board_end(OpenFile* file, short revents) {
    if (!(revents & (POLLIN | POLLHUP | POLLERR))) return;
    // Up to a bound of the records waiting, so that a busy channel does not
    // wait a loop pass per record.
    for (int record = 0; record < records_per_pass; ++record) {
        uint8_t buffer[65536];
        ssize_t const got =
            ::recv(file->board_end.lowlevel_fd(), buffer, sizeof(buffer), MSG_DONTWAIT);
        if (got < 0 && errno == EAGAIN) return;
        // A record of no bytes is a write of nothing; the last close reads as
        // 0 with a hang-up.
        if (got < 0 || (got == 0 && hung_up(file->board_end.lowlevel_fd()))) {
            close_file(file);
            return;
        }
        uint32_t const count = uint32_t(got);
        log_.add(file->label, "write", file->serial, &count, 1, 0);
        for (auto const& model : models_) {
            int unit = -1;
            if (path_matches(model->path(), file->path, unit))
                model->written(*file, buffer, size_t(got));
        }
    }
}

void Board::close_file(OpenFile* file) {
    log_.add(file->label, "close", file->serial, nullptr, 0, 0);
    for (auto const& model : models_) {
        int unit = -1;
        if (path_matches(model->path(), file->path, unit)) model->closed(*file);
    }
    for (auto it = files_.begin(); it != files_.end(); ++it)
        if (it->get() == file) {
            files_.erase(it);
            return;
        }
}

void Board::take_pending() {
    // Bounded: a board end that stayed ready without giving anything would
    // otherwise hold the loop.
    for (size_t i = 0, passes = 0; i < files_.size() && passes < 4096; ++passes) {
        OpenFile* const file = files_[i].get();
        pollfd entry{file->board_end.lowlevel_fd(), POLLIN, 0};
        if (::poll(&entry, 1, 0) == 1 && (entry.revents & (POLLIN | POLLHUP | POLLERR))) {
            // Again the same index: this open until it is drained, or the
            // next one when it has closed.
            on_board_end(file, entry.revents);
            continue;
        }
        ++i;
    }
}

std::string Board::command(std::string const& line) {
    std::ostringstream out;
    Words const words = split(line);
    if (words.empty()) return "";
    take_pending();
    bool found = false;
    for (auto const& model : models_)
        if (words[0] == model->name()) {
            model->command(words, out);
            found = true;
            break;
        }
    if (!found) global_command(words, out);
    std::string reply = out.str();
    // A command known but given in part gets its usage, not the generic refusal.
    if (reply.compare(0, 7, "error: ") == 0 && reply.size() > 13 &&
        reply.compare(reply.size() - 6, 6, "help)\n") == 0) {
        std::string const lines = usage(words);
        if (!lines.empty()) reply = "error: usage:" + lines;
    }
    return reply;
}

std::string Board::usage(Words const& words) {
    std::ostringstream help;
    global_command(Words{"help"}, help);
    // Entries of the help: a line, then the lines that go on from its column.
    std::vector<std::string> entries;
    std::istringstream lines(help.str());
    for (std::string line; std::getline(lines, line);) {
        if (line.empty()) continue;
        if (line[0] == ' ' && !entries.empty())
            entries.back() += "\n" + line;
        else
            entries.push_back(line);
    }
    // The alternatives of an entry's head ("log [DEVICE] | log clear") whose
    // first words are the command's: first its first two, else its first.
    auto matches = [&](std::string const& entry, size_t count) {
        std::string const head = entry.substr(0, entry.find("  "));
        for (size_t at = 0; at != std::string::npos;) {
            size_t const bar = head.find(" | ", at);
            Words const alternative =
                split(head.substr(at, bar == std::string::npos ? bar : bar - at));
            if (alternative.size() >= count &&
                std::equal(words.begin(), words.begin() + long(count), alternative.begin()))
                return true;
            at = bar == std::string::npos ? bar : bar + 3;
        }
        return false;
    };
    for (size_t count = std::min<size_t>(words.size(), 2); count > 0; --count) {
        std::vector<std::string> found;
        for (std::string const& entry : entries)
            if (matches(entry, count)) found.push_back(entry);
        if (found.size() == 1) return " " + found[0] + "\n";
        std::string all;
        for (std::string const& entry : found) all += "\n" + entry;
        if (!all.empty()) return all + "\n";
    }
    return "";
}

}  // namespace SimBoard
