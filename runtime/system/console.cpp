#include "runtime/system/console.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <ctime>
#include <iostream>

namespace Console {

void SwitchToBinaryMode() {
    termios attributes;
    if (::tcgetattr(STDIN_FILENO, &attributes) != 0) {
        std::cerr << "can't obtain terminal attributes" << std::endl;
        return;
    }
    attributes.c_lflag &= ~(ICANON | ECHO | ECHOE | ECHOK | ECHONL | ECHOPRT | ECHOCTL);
    if (::tcsetattr(STDIN_FILENO, TCSADRAIN, &attributes) != 0)
        std::cerr << "can't set terminal attributes" << std::endl;
}

void SwitchToNonBlockMode() {
    int on = 1;
    if (::ioctl(STDIN_FILENO, FIONBIO, &on) != 0)
        std::cerr << "can't switch terminal to blocked mode" << std::endl;
}

}  // namespace Console

std::ostream& timestamp(std::ostream& os) {
    time_t const now = ::time(nullptr);
    if (now == time_t(-1)) return os;
    tm local;
    if (::localtime_r(&now, &local) == nullptr) return os;
    char text[32];
    if (std::strftime(text, sizeof text, "%d/%m %H:%M:%S", &local) > 0) os << text;
    return os;
}
