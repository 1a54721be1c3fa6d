#include "monitoring/display_items.h"

#include <cstdio>

#include "monitoring/monitoring_names.h"

namespace {

using MonNames::Name;

MonValue value_of(Name const& name, int index, std::string const& value) {
    return {name.section, name.name, index, value};
}

// Keys that sort as their numbers do.
std::string key_of(long long number) {
    char text[24];
    std::snprintf(text, sizeof(text), "%+021lld", number);
    return text;
}

std::string text_of(ASN1::ENUMERATED const& value) {
    return std::string(value.name());
}

void board_record(LGCP::BoardInfo const& board, DisplayRecord& record) {
    record.file = "board";
    if (board.boardStatus_isSelected()) {
        auto const& status = board.get_boardStatus();
        int const position = status.get_position().getValue();
        std::string const version = status.get_version();
        record.key = key_of(position) + "/";
        record.line = "position " + std::to_string(position) + " version " + version +
                      " status " + text_of(status.get_status()) + " type " +
                      text_of(status.get_type());
        record.values = {value_of(MonNames::ext_board_version, position, version),
                         value_of(MonNames::ext_board_status, position, text_of(status.get_status())),
                         value_of(MonNames::ext_board_type, position, text_of(status.get_type()))};
        return;
    }
    auto const& channel = board.get_boardChannelStatus();
    int const position = channel.get_position().getValue();
    int const number = channel.get_channel().getValue();
    if (position < 0 || position > MonNames::max_channel_position || number < 0 ||
        number >= MonNames::channels_per_position) {
        record.refused = "position " + std::to_string(position) + " channel " +
                         std::to_string(number) + ": a channel's index for the agents needs " +
                         "position 0 to " + std::to_string(MonNames::max_channel_position) +
                         " and channel 0 to " +
                         std::to_string(MonNames::channels_per_position - 1);
        return;
    }
    std::string const caller = channel.get_status().get_callerID();
    std::string const called = channel.get_status().get_calledID();
    int const index = position * MonNames::channels_per_position + number;
    record.key = key_of(position) + "/" + key_of(number);
    record.line = "position " + std::to_string(position) + " channel " + std::to_string(number) +
                  " callerID " + caller + " calledID " + called;
    record.values = {value_of(MonNames::ext_channel_caller, index, caller),
                     value_of(MonNames::ext_channel_called, index, called)};
}

void em_phone_record(LGCP::EmPhoneInfo const& phone, DisplayRecord& record) {
    record.file = "emPhone";
    if (phone.phoneChannelStatus_isSelected()) {
        auto const& channel = phone.get_phoneChannelStatus();
        int const id = channel.get_phoneId().getValue();
        std::string const number = std::to_string(channel.get_channel().getValue());
        record.key = key_of(id) + "/1";
        record.line = "id " + std::to_string(id) + " channel " + number;
        record.values = {value_of(MonNames::em_phone_channel, id, number)};
        return;
    }
    auto const& status = phone.get_phoneStatus();
    int const id = status.get_id().getValue();
    std::string const panel = status.get_panelSV();
    std::string const ctrl = status.get_ctrlSV();
    std::string const fpga = status.get_fpgaSV();
    std::string const fields[] = {text_of(status.get_status()), text_of(status.get_powerStatus()),
                                  text_of(status.get_mode()), text_of(status.get_hookStatus()),
                                  text_of(status.get_baseStatus())};
    record.key = key_of(id) + "/0";
    record.line = "id " + std::to_string(id) + " panelSV " + panel + " ctrlSV " + ctrl +
                  " fpgaSV " + fpga + " status " + fields[0] + " power " + fields[1] + " mode " +
                  fields[2] + " hook " + fields[3] + " base " + fields[4];
    record.values = {value_of(MonNames::em_phone_panel, id, panel),
                     value_of(MonNames::em_phone_ctrl, id, ctrl),
                     value_of(MonNames::em_phone_fpga, id, fpga),
                     value_of(MonNames::em_phone_status, id, fields[0]),
                     value_of(MonNames::em_phone_power, id, fields[1]),
                     value_of(MonNames::em_phone_mode, id, fields[2]),
                     value_of(MonNames::em_phone_hook, id, fields[3]),
                     value_of(MonNames::em_phone_base, id, fields[4])};
}

void term_counter_record(LGCP::TermCounter const& counter, DisplayRecord& record) {
    std::string const owner = text_of(counter.get_owner());
    int const id = counter.ownerId_isPresent() ? counter.get_ownerId().getValue() : 0;
    std::string const count = std::to_string(counter.get_cnt().getValue());
    record.file = "termCounter";
    record.key = owner + "/" + key_of(id);
    record.line = "owner " + owner + " ownerId " + std::to_string(id) + " cnt " + count;
    record.values = {{MonNames::term_counter_section, owner, id, count}};
}

void framer_record(LGCP::FramerInfo const& framer, DisplayRecord& record) {
    int const e1 = framer.get_e1().getValue();
    bool const line = framer.get_info().line_isSelected();
    bool const up = line ? bool(framer.get_info().get_line()) : bool(framer.get_info().get_link());
    char const* const what = line ? "line" : "link";
    record.file = "framer";
    record.key = key_of(e1) + "/" + what;
    record.line = "e1 " + std::to_string(e1) + " " + what + (up ? " up" : " down");
    record.values = {value_of(line ? MonNames::framer_line : MonNames::framer_link, e1,
                              up ? "up" : "down")};
}

}  // namespace

bool RecordOf(LGCP::DisplayParams const& item, DisplayRecord& record) {
    record = DisplayRecord();
    if (item.board_isSelected())
        board_record(item.get_board(), record);
    else if (item.emPhone_isSelected())
        em_phone_record(item.get_emPhone(), record);
    else if (item.termCounter_isSelected())
        term_counter_record(item.get_termCounter(), record);
    else if (item.framer_isSelected())
        framer_record(item.get_framer(), record);
    else
        return false;
    return true;
}

std::string HostText(LGCP::ControllerInfo const& controller) {
    auto const& host = controller.get_host();
    return std::string(host.get_iaddr()) + ":" + std::to_string(host.get_port().getValue());
}
