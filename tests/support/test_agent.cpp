#include "tests/support/test_agent.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <fstream>
#include <sstream>

#include "monitoring/mon_codec.h"
#include "tools/ctl/message_text.h"

namespace support {

void writeConfig(ServerProcess const& server, std::string const& text) {
    std::ofstream(server.root() + "/usr/local/etc/server.conf") << text;
}

bool display(Controller& controller, std::string const& item) {
    Ctl::Encoded const command =
        Ctl::encodeMessage("{ seq 1, pdu command : display : " + item + " }");
    controller.send(frame(command.payload));
    LGCP::Message answer;
    return command.error.empty() && controller.readAnswer(answer) &&
           answer.get_pdu().get_response().success_isSelected();
}

bool TestAgent::listen() {
    listener_ = Fd(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port_));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return ::bind(listener_.lowlevel_fd(), reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) == 0 &&
           ::listen(listener_.lowlevel_fd(), 4) == 0;
}

std::string TestAgent::config(std::string const& name) const {
    return "[snmpagent]\nhost=127.0.0.1:" + std::to_string(port_) + "\nname=" + name + "\n";
}

bool TestAgent::accept(std::chrono::milliseconds bound) {
    pollfd entry{listener_.lowlevel_fd(), POLLIN, 0};
    if (::poll(&entry, 1, int(bound.count())) <= 0) return false;
    link.adopt(::accept(listener_.lowlevel_fd(), nullptr, nullptr));
    return link.fd() >= 0;
}

bool TestAgent::read(MON::Message& message, std::chrono::milliseconds bound) {
    bool ok = false;
    Bytes const payload = link.readFrame(ok, bound);
    message = MON::Message();
    return ok && MonCodec::Decode(reinterpret_cast<char const*>(payload.data()),
                                  int(payload.size()), message);
}

std::string TestAgent::readText(std::chrono::milliseconds bound) {
    MON::Message message;
    return read(message, bound) ? message.asValueNotation() : "";
}

void TestAgent::send(MON::Message const& message) {
    std::vector<char> octets;
    MonCodec::Encode(message, octets);
    link.send(frame(Bytes(octets.begin(), octets.end())));
}

std::string TestAgent::notation(std::string const& text) {
    MON::Message message;
    std::istringstream in(text);
    if (message.get_from(in) != std::ios_base::goodbit) return "unreadable: " + text;
    return message.asValueNotation();
}

}  // namespace support
