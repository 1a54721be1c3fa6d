#include "tests/support/recorders.h"

namespace support {

void LinkRecorder::OnConnect() {
    ++connects;
    connectTimes.push_back(Clock::now());
}

void LinkRecorder::OnDisconnect() {
    ++disconnects;
    disconnectTimes.push_back(Clock::now());
}

void LinkRecorder::OnMessage(char const* data, int length) {
    messages.emplace_back(data, data + length);
}

EventClient::EventClient(std::string const& name) {
    event.Bind(name, &EventClient::OnEvent, this);
}

void EventClient::OnEvent(int fd, short revents) {
    calls.push_back({fd, revents});
    if (step) step(fd, revents);
}

}  // namespace support
