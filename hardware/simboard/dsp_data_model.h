#pragma once
// The ATS-QSIG links of /dev/dsp-data. DSP_DATA_ATTACH gives an open the
// lowest free link (ENOSPC when none is free, EBUSY when the open has one)
// and fills its record: link n has its line on switch channel first + 4n and
// its B channels on the three channels after it (two links from channel 700
// on a board without a description). The link is free again at the open's
// last close.
//
// The far end of the D channel is the board tool's: it sends frames into a
// link and shows the frames the server wrote.
//
// Board-tool commands:
//   dsp-data                       every link: channels, open, frames each way
//   dsp-data count N [CHANNEL]     how many links there are, and the first's line
//   dsp-data send LINK BYTES [, BYTES]...
//                                  frames into the link: hex bytes, "55*30" for
//                                  30 of them; each group is one frame
//   dsp-data written LINK          the frames the server wrote, one a line

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "hardware/simboard/model.h"

namespace SimBoard {

class DspDataModel : public Model {
public:
    static constexpr uint32_t max_links = 32;
    // The written frames kept for `dsp-data written`; older ones go.
    static constexpr size_t kept_frames = 256;

    explicit DspDataModel(Board& board) : Model(board) {}

    char const* name() const override { return "dsp-data"; }
    char const* path() const override { return "/dev/dsp-data"; }
    std::vector<Request> const& requests() const override;
    int serve(OpenFile& file, Request const& request, uint8_t* record,
              unsigned long value) override;
    void command(Words const& words, std::ostream& out) override;
    void closed(OpenFile& file) override;
    void written(OpenFile& file, uint8_t const* data, size_t size) override;

private:
    struct Link {
        OpenFile* file = nullptr;
        uint64_t in = 0;   // frames sent into the link
        uint64_t out = 0;  // frames the server wrote
        std::deque<std::string> written;
    };

    Link* find(OpenFile const& file);
    // The attached link a command names, or null with an error line.
    Link* find(std::string const& word, std::ostream& out);
    uint32_t line_of(size_t link) const { return first_ + 4 * uint32_t(link); }
    void send(Link& link, Words const& words, std::ostream& out);
    void list(std::ostream& out) const;

    uint32_t first_ = 700;
    std::vector<Link> links_ = std::vector<Link>(2);
};

}  // namespace SimBoard
