#include "hardware/simboard/dsp_data_model.h"

#include "hardware/device/dsp_data_driver.h"
#include "hardware/device/record.h"
#include "hardware/simboard/board.h"

namespace SimBoard {

namespace {

std::vector<Request> const dsp_data_requests = {
    {Device::DSP_DATA_ATTACH, "DSP_DATA_ATTACH", Request::pointer,
     uint16_t(Device::DspDataLinkRecord::size)},
};

// The longest frame the tool sends.
size_t const max_frame = 4096;

}  // namespace

std::vector<Request> const& DspDataModel::requests() const { return dsp_data_requests; }

int DspDataModel::serve(OpenFile& file, Request const&, uint8_t* record, unsigned long) {
    // A link is free as soon as the last descriptor of its open is closed.
    board().take_pending();
    if (find(file)) return -EBUSY;
    for (size_t n = 0; n < links_.size(); ++n) {
        if (links_[n].file) continue;
        links_[n] = Link();
        links_[n].file = &file;
        Device::put32(record + Device::DspDataLink::line, line_of(n));
        for (uint32_t b = 0; b < Device::DspDataLink::b_channels; ++b)
            Device::put32(record + Device::DspDataLink::b + 4 * b, line_of(n) + 1 + b);
        return 0;
    }
    return -ENOSPC;
}

DspDataModel::Link* DspDataModel::find(OpenFile const& file) {
    for (Link& link : links_)
        if (link.file == &file) return &link;
    return nullptr;
}

DspDataModel::Link* DspDataModel::find(std::string const& word, std::ostream& out) {
    unsigned long n = 0;
    if (NumberOf(word, n) && n < links_.size() && links_[n].file) return &links_[n];
    out << "error: no attached link " << word << '\n';
    return nullptr;
}

void DspDataModel::closed(OpenFile& file) {
    if (Link* const link = find(file)) link->file = nullptr;
}

void DspDataModel::written(OpenFile& file, uint8_t const* data, size_t size) {
    Link* const link = find(file);
    if (!link) return;
    ++link->out;
    link->written.push_back(HexText(data, size));
    if (link->written.size() > kept_frames) link->written.pop_front();
}

void DspDataModel::send(Link& link, Words const& words, std::ostream& out) {
    std::vector<std::string> frames(1);
    for (size_t i = 3; i < words.size(); ++i) {
        if (words[i] == ",") {
            frames.emplace_back();
        } else if (!AddHexBytes(words[i], frames.back(), max_frame)) {
            out << "error: dsp-data send wants hex bytes (5A, or 5A*30 for 30 of them), "
                   "frames parted by \",\"\n";
            return;
        }
    }
    for (std::string const& frame : frames) {
        auto const* octets = reinterpret_cast<uint8_t const*>(frame.data());
        if (!board().post(*link.file, octets, frame.size())) {
            out << "error: the link took " << link.in << " frames in all, not the rest\n";
            return;
        }
        ++link.in;
    }
}

void DspDataModel::list(std::ostream& out) const {
    for (size_t n = 0; n < links_.size(); ++n) {
        Link const& link = links_[n];
        out << "link " << n << " line " << line_of(n) << " B " << line_of(n) + 1 << ' '
            << line_of(n) + 2 << ' ' << line_of(n) + 3;
        if (link.file)
            out << ' ' << link.file->label << '#' << link.file->serial << ", in " << link.in
                << ", out " << link.out;
        else
            out << " free";
        out << '\n';
    }
}

void DspDataModel::command(Words const& words, std::ostream& out) {
    std::string const verb = words.size() > 1 ? words[1] : "";
    unsigned long n = 0, first = first_;
    if (words.size() == 1) {
        list(out);
    } else if (verb == "help" && words.size() == 2) {
        out << "dsp-data                                every link: channels, open, frames\n"
               "dsp-data count N [CHANNEL]              how many links, the first's line\n"
               "dsp-data send LINK BYTES [, BYTES]...   frames into a link (5A, 5A*30)\n"
               "dsp-data written LINK                   the frames the server wrote\n";
    } else if (verb == "count" && (words.size() == 3 || words.size() == 4)) {
        if (!NumberOf(words[2], n) || n > max_links ||
            (words.size() == 4 && (!NumberOf(words[3], first) || first > 8000))) {
            out << "error: dsp-data count wants 0 to " << max_links
                << " links and a first channel up to 8000\n";
            return;
        }
        for (size_t at = n; at < links_.size(); ++at)
            if (links_[at].file) {
                out << "error: link " << at << " is attached\n";
                return;
            }
        links_.resize(n);
        first_ = uint32_t(first);
    } else if (verb == "send" && words.size() >= 4) {
        if (Link* const link = find(words[2], out)) send(*link, words, out);
    } else if (verb == "written" && words.size() == 3) {
        if (Link const* const link = find(words[2], out))
            for (std::string const& frame : link->written) out << frame << '\n';
    } else {
        out << "error: dsp-data wants nothing, count, send or written (try dsp-data help)\n";
    }
}

}  // namespace SimBoard
