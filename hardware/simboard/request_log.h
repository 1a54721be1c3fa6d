#pragma once
// The simulated board's ordered log of what the server asked of its drivers:
// opens, requests with the words of their records as the server passed them,
// writes and last closes, with the error of those that failed. A ring of
// fixed entries, written without allocation; the oldest entries give way.

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace SimBoard {

class RequestLog {
public:
    static constexpr size_t capacity = 1 << 16;
    static constexpr size_t max_words = 6;

    struct Entry {
        char const* device;  // "hal"
        char const* what;    // "HAL_MUX_CONNECT", "open", "write", ...
        uint32_t file;       // serial of the open
        uint32_t words[max_words];
        uint8_t count;
        int16_t error;  // 0 or the errno of a failure
    };

    RequestLog();

    void add(char const* device, char const* what, uint32_t file, uint32_t const* words,
             size_t count, int error);
    // Words of a record in the board's order; the bytes of one shorter
    // than a word.
    void add_record(char const* device, char const* what, uint32_t file, uint8_t const* record,
                    size_t size);
    // Marks the failure of the entry added last.
    void fail_last(int error);
    void clear();

    // "hal#1 HAL_MUX_CONNECT 8200 5", " -> EINVAL" after a failure; only the
    // entries whose device and request match the filters that are not empty.
    void print(std::ostream& out, std::string const& device, std::string const& what) const;

private:
    std::vector<Entry> entries_;
    size_t next_ = 0;
    size_t total_ = 0;
};

// "EINVAL" for EINVAL, the number for an errno without a name here.
std::string ErrnoName(int error);
// The errno of "EINVAL" or "22"; 0 when neither.
int ErrnoFromName(std::string const& name);

}  // namespace SimBoard
