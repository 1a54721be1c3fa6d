#include "tests/support/test_agent.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "monitoring/mon_codec.h"
#include "monitoring/monitoring_names.h"
#include "tests/support/loop.h"
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

bool TestAgent::listen(int receiveBuffer) {
    listener_ = Fd(::socket(AF_INET, SOCK_STREAM, 0));
    if (receiveBuffer > 0)
        ::setsockopt(listener_.lowlevel_fd(), SOL_SOCKET, SO_RCVBUF, &receiveBuffer,
                     sizeof(receiveBuffer));
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
    badFrames = 0;
    return link.fd() >= 0;
}

bool TestAgent::readAny(MON::Message& message, std::chrono::milliseconds bound) {
    bool ok = false;
    Bytes const payload = link.readFrame(ok, bound);
    message = MON::Message();
    if (!ok) return false;
    if (MonCodec::Decode(reinterpret_cast<char const*>(payload.data()), int(payload.size()),
                         message))
        return true;
    ++badFrames;
    return false;
}

bool TestAgent::takeOwn(MON::Message const& message) {
    if (!message.get_pdu().command_isSelected() ||
        !message.get_pdu().get_command().snmp_set_isSelected())
        return false;
    auto const& commands = message.get_pdu().get_command().get_snmp_set().get_commands();
    auto const* const sections = std::end(MonNames::own_sections);
    for (MON::SnmpSetCommand const& command : commands)
        if (!command.get_id().name_isSelected() ||
            std::find(std::begin(MonNames::own_sections), sections,
                      std::string(command.get_id().get_name().get_section())) == sections)
            return false;
    for (MON::SnmpSetCommand const& command : commands) {
        MON::IniName const& name = command.get_id().get_name();
        told[std::string(name.get_section()) + "/" + std::string(name.get_name()) + "/" +
             std::to_string(name.get_index().getValue())] = command.get_value();
    }
    return commands.size() > 0;
}

bool TestAgent::read(MON::Message& message, std::chrono::milliseconds bound) {
    auto const end = Clock::now() + bound;
    while (readAny(message, std::chrono::duration_cast<std::chrono::milliseconds>(
                                end - Clock::now()))) {
        if (!takeOwn(message)) return true;
    }
    return false;
}

bool TestAgent::waitTold(std::string const& key, std::string const& value,
                         std::chrono::milliseconds bound) {
    auto const end = Clock::now() + bound;
    for (MON::Message message;; takeOwn(message)) {
        auto const found = told.find(key);
        if (found != told.end() && found->second == value) return true;
        auto const left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0 || !readAny(message, left)) return false;
    }
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

AgentServer::AgentServer(std::string const& agentName, std::string const& more) {
    writeConfig(server, agent.config(agentName) + more);
}

}  // namespace support
