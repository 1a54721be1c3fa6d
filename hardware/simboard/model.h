#pragma once
// One driver of the simulated board: the requests it serves on its device
// path, with the state behind them, and the board-tool commands that show
// and change that state. Several models may serve one path (the switch, the
// clock and the SPI bus all live on /dev/hal); each request number belongs
// to one of them.

#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

namespace SimBoard {

class Board;
struct OpenFile;

using Words = std::vector<std::string>;

// A number of a board-tool command, written as in C (0x hexadecimal).
inline bool NumberOf(std::string const& text, unsigned long& value) {
    char* end = nullptr;
    value = std::strtoul(text.c_str(), &end, 0);
    return !text.empty() && text[0] != '-' && *end == '\0';
}

// "5A" or "5A*300" (300 of them) appended to bytes, which stay at most
// `limit` long; false when the word is neither or the bytes would outgrow it.
inline bool AddHexBytes(std::string const& word, std::string& bytes, size_t limit) {
    size_t const star = word.find('*');
    std::string const byte_word = word.substr(0, star);
    char* end = nullptr;
    unsigned long const byte = std::strtoul(byte_word.c_str(), &end, 16);
    if (byte_word.empty() || byte_word[0] == '-' || *end != '\0' || byte > 0xFF) return false;
    unsigned long count = 1;
    if (star != std::string::npos && (!NumberOf(word.substr(star + 1), count) || count == 0))
        return false;
    if (bytes.size() > limit || count > limit - bytes.size()) return false;
    bytes.append(count, char(byte));
    return true;
}

// "01 02 FF": bytes as the board tool shows them.
inline std::string HexText(uint8_t const* data, size_t size) {
    static char const digits[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        if (i) text += ' ';
        text += digits[data[i] >> 4];
        text += digits[data[i] & 0x0F];
    }
    return text;
}

struct Request {
    enum Arg : uint8_t { pointer, value };

    uint32_t number;
    char const* name;
    Arg arg;
    // Bytes of the record a pointer request carries.
    uint16_t size;
};

class Model {
public:
    explicit Model(Board& board) : board_(board) {}
    Model(Model const&) = delete;
    Model& operator=(Model const&) = delete;
    virtual ~Model() = default;

    // The first word of this model's board-tool commands.
    virtual char const* name() const = 0;
    // The device path it serves ("/dev/hal"); a path ending in '*' serves
    // that prefix followed by a unit number ("/dev/mdm*": /dev/mdm0, ...).
    virtual char const* path() const = 0;
    virtual std::vector<Request> const& requests() const = 0;

    // Serves a request of its table: the driver's result (0 or more) or a
    // negative errno. `record` holds `request.size` bytes for a pointer
    // request and is null for a value request.
    virtual int serve(OpenFile& file, Request const& request, uint8_t* record,
                      unsigned long value) = 0;

    // A board-tool command whose first word is name(); the reply goes to
    // `out`, a line starting "error: " when the command is refused.
    virtual void command(Words const& words, std::ostream& out) = 0;

    // An open of its path, and the last close of that open.
    virtual void opened(OpenFile&) {}
    virtual void closed(OpenFile&) {}
    // Bytes the server wrote to an open of its path.
    virtual void written(OpenFile&, uint8_t const*, size_t) {}
    // Makes the device file under MOBREL_ROOT itself (a named pipe for a
    // device that the server opens without the device layer); false leaves
    // the board to make a plain file.
    virtual bool make_file(std::string const&) { return false; }
    // A request on a network interface of this model: 0 or a negative
    // errno; -ENODEV when it has no interface of that name.
    virtual int netif(char const*, uint32_t, uint8_t*, size_t) { return -ENODEV; }

protected:
    Board& board() const { return board_; }

private:
    Board& board_;
};

}  // namespace SimBoard
