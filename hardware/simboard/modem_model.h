#pragma once
// The DSP modems of the board behind the modem control device /dev/mctl.
// An open allocates at most one modem, which stays its own until the open is
// closed; the requests that name a modem act only on the modem of the open
// that makes them (another number: EINVAL). The board has four modems,
// 0 to 3, on the switch channels 512 to 515, unless the description says
// otherwise.
//
// The requests and their records are in hardware/device/mctl_driver.h:
//   MDM_ENUM          value: the previous index (-1 first): the next;
//                     ENODEV after the last
//   MDM_ALLOCATE      value 0: a free modem's number; EBUSY when none
//                     is free or the open holds one already
//   MDM_GET_TIMESLOT  value 0: the open's modem's channel
//   MDM_SET_DDM       {modem, mode mask}
//   MDM_RESET_PARAMS  {modem, 0xFFFFFFFF}: no parameter set
//   MDM_SET_PARAM     {modem, index, value}
//   MDM_ANSWER        {modem, 0xFFFFFFFF}
//   MDM_ORIGINATE     {modem, 0xFFFFFFFF}
//   MDM_ORIGINATE_FAX {modem, 0xFFFFFFFF}
//
// Board-tool commands:
//   modem               every modem: number, channel, and for an allocated
//                       one its open, data modes, parameters and call state
//   modem count N [CHANNEL]  the board has N modems (0 to 64), modem n on
//                       channel CHANNEL + n (default 512); refused while a
//                       modem is allocated

#include <cstdint>
#include <map>
#include <vector>

#include "hardware/simboard/model.h"

namespace SimBoard {

class ModemModel : public Model {
public:
    static constexpr unsigned max_modems = 64;

    explicit ModemModel(Board& board);

    char const* name() const override { return "modem"; }
    char const* path() const override { return "/dev/mctl"; }
    std::vector<Request> const& requests() const override;
    int serve(OpenFile& file, Request const& request, uint8_t* record,
              unsigned long value) override;
    void command(Words const& words, std::ostream& out) override;
    void closed(OpenFile& file) override;

private:
    struct Modem {
        OpenFile* owner = nullptr;
        uint32_t ddm = 0;
        bool ddm_set = false;
        std::map<uint32_t, uint32_t> params;
        char const* call = "";  // "", "answer", "originate", "originate fax"
    };

    int allocate(OpenFile& file);
    // The open's modem; null when it holds none.
    Modem* modem_of(OpenFile const& file, int& number);
    void print(std::ostream& out, unsigned number) const;

    std::vector<Modem> modems_;
    uint32_t first_channel_ = 512;
};

}  // namespace SimBoard
