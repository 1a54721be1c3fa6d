#include "tests/support/script.h"

#include <gtest/gtest.h>

#include <sstream>

#include "asn1/asn1.h"
#include "tests/support/board_tool.h"

namespace support {

namespace {

std::string collapse(std::string const& text) {
    std::string out;
    bool blank = false;
    for (char c : text) {
        if (c == ' ' || c == '\n' || c == '\t') {
            blank = true;
            continue;
        }
        if (blank && !out.empty()) out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

}  // namespace

bool isLinkReport(std::string const& message) {
    return message.find("pdu signal : ioctl : ss7LinkInfo") != std::string::npos ||
           message.find("pdu signal : ioctl : hdlcLinkInfo") != std::string::npos ||
           message.find("pdu signal : ioctl : isdnLinkInfo") != std::string::npos;
}

std::string oneLine(ASN1::AbstractData const& value) {
    return collapse(value.asValueNotation());
}

std::string nextMessage(Controller& controller, std::chrono::milliseconds bound) {
    auto const end = std::chrono::steady_clock::now() + bound;
    for (;;) {
        auto const left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) return "";
        bool ok = false;
        Bytes const payload = controller.readFrame(ok, left);
        if (!ok) return "";
        LGCP::Message message;
        ASN1::CoderEnv env;
        env.set_encodingRule(ASN1::CoderEnv::per_Aligned);
        if (!ASN1::decode(reinterpret_cast<char const*>(payload.data()),
                          reinterpret_cast<char const*>(payload.data() + payload.size()), &env,
                          message, true))
            return "undecodable: " + text(payload);
        if (message.get_pdu().signal_isSelected() &&
            message.get_pdu().get_signal().trunkStatus_isSelected())
            continue;
        return collapse(message.asValueNotation());
    }
}

bool matches(std::string const& text, std::string const& pattern) {
    size_t at = 0;
    size_t from = 0;
    for (bool first = true;; first = false) {
        size_t const gap = pattern.find("...", from);
        std::string const piece = pattern.substr(from, gap == std::string::npos ? gap : gap - from);
        if (gap == std::string::npos) {
            // The last piece ends the text.
            return text.size() >= at + piece.size() &&
                   text.compare(text.size() - piece.size(), piece.size(), piece) == 0 &&
                   (!first || text.size() == piece.size());
        }
        size_t const found = first ? (text.compare(0, piece.size(), piece) == 0 ? 0 : std::string::npos)
                                   : text.find(piece, at);
        if (found == std::string::npos) return false;
        at = found + piece.size();
        from = gap + 3;
    }
}

std::string answered(std::string const& script) {
    std::istringstream lines(script);
    std::string out;
    for (std::string line; std::getline(lines, line);) {
        size_t const plus = line.find_first_not_of(' ');
        size_t const pdu = line.find("pdu command");
        if (plus == std::string::npos || line[plus] != '+' || pdu == std::string::npos) {
            out += line + "\n";
            continue;
        }
        std::string const command = line.substr(plus + 2);
        out += "> " + command + "\n< " + command.substr(0, pdu - plus - 2) +
               "pdu response : success : NULL }\n";
    }
    return out;
}

void runScript(ServerProcess const& server, Controller& controller, std::string const& script) {
    std::istringstream lines(script);
    std::string board_command, board_expected;
    auto check_board = [&] {
        if (board_command.empty()) return;
        std::string const reply = boardTool(server.root(), board_command);
        if (board_expected.find("...") == std::string::npos)
            EXPECT_EQ(reply, board_expected) << "board: " << board_command;
        else
            EXPECT_TRUE(matches(reply, board_expected))
                << "board: " << board_command << "\nexpected:\n"
                << board_expected << "came:\n"
                << reply;
        board_command.clear();
        board_expected.clear();
    };
    for (std::string line; std::getline(lines, line);) {
        size_t const start = line.find_first_not_of(' ');
        if (start == std::string::npos) continue;
        line.erase(0, start);
        std::string const body = line.size() > 2 ? line.substr(2) : "";
        if (line[0] == '=') {
            board_expected += body + "\n";
            continue;
        }
        check_board();
        switch (line[0]) {
            case '>': {
                LGCP::Message message;
                ASSERT_TRUE(message.setFromValueNotation(body)) << "cannot read: " << body;
                controller.sendMessage(message);
                break;
            }
            case '<': {
                std::string message = nextMessage(controller);
                while (isLinkReport(message) && !isLinkReport(body))
                    message = nextMessage(controller);
                ASSERT_TRUE(matches(message, body))
                    << "expected: " << body << "\ncame:     " << message;
                break;
            }
            case '$':
                board_command = body;
                break;
            case '~':
                EXPECT_EQ(nextMessage(controller, std::chrono::milliseconds(std::stoi(body))), "")
                    << "a message came within " << body << " ms";
                break;
            default:
                FAIL() << "not a script line: " << line;
        }
    }
    check_board();
}

}  // namespace support
