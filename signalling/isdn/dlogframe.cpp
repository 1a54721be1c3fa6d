#include "signalling/isdn/dlogframe.h"

#include <cstdio>

namespace ISDN {

namespace {

// The protocol discriminator of call-control messages.
uint8_t const call_control = 0x08;

struct Name {
    uint8_t code;
    char const* name;
};

Name const message_types[] = {
    {0x01, "ALERTING"},
    {0x02, "CALL PROCEEDING"},
    {0x03, "PROGRESS"},
    {0x05, "SETUP"},
    {0x07, "CONNECT"},
    {0x0D, "SETUP ACKNOWLEDGE"},
    {0x0F, "CONNECT ACKNOWLEDGE"},
    {0x20, "USER INFORMATION"},
    {0x21, "SUSPEND REJECT"},
    {0x22, "RESUME REJECT"},
    {0x25, "SUSPEND"},
    {0x26, "RESUME"},
    {0x2D, "SUSPEND ACKNOWLEDGE"},
    {0x2E, "RESUME ACKNOWLEDGE"},
    {0x45, "DISCONNECT"},
    {0x46, "RESTART"},
    {0x4D, "RELEASE"},
    {0x4E, "RESTART ACKNOWLEDGE"},
    {0x5A, "RELEASE COMPLETE"},
    {0x60, "SEGMENT"},
    {0x62, "FACILITY"},
    {0x6E, "NOTIFY"},
    {0x75, "STATUS ENQUIRY"},
    {0x79, "CONGESTION CONTROL"},
    {0x7B, "INFORMATION"},
    {0x7D, "STATUS"},
};

// Variable-length information elements of codeset 0.
Name const elements[] = {
    {0x00, "Segmented message"},
    {0x04, "Bearer capability"},
    {0x08, "Cause"},
    {0x10, "Call identity"},
    {0x14, "Call state"},
    {0x18, "Channel identification"},
    {0x1C, "Facility"},
    {0x1E, "Progress indicator"},
    {0x20, "Network-specific facilities"},
    {0x27, "Notification indicator"},
    {0x28, "Display"},
    {0x29, "Date/time"},
    {0x2C, "Keypad facility"},
    {0x34, "Signal"},
    {0x40, "Information rate"},
    {0x42, "End-to-end transit delay"},
    {0x43, "Transit delay selection and indication"},
    {0x44, "Packet layer binary parameters"},
    {0x45, "Packet layer window size"},
    {0x46, "Packet size"},
    {0x47, "Closed user group"},
    {0x4A, "Reverse charging indication"},
    {0x6C, "Calling party number"},
    {0x6D, "Calling party subaddress"},
    {0x70, "Called party number"},
    {0x71, "Called party subaddress"},
    {0x74, "Redirecting number"},
    {0x78, "Transit network selection"},
    {0x79, "Restart indicator"},
    {0x7C, "Low layer compatibility"},
    {0x7D, "High layer compatibility"},
    {0x7E, "User-user"},
    {0x7F, "Escape for extension"},
};

// Single-octet elements, by their upper four bits (type 1) or whole octet
// (type 2).
char const* SingleOctetName(uint8_t octet) {
    switch (octet) {
        case 0xA0: return "More data";
        case 0xA1: return "Sending complete";
        default: break;
    }
    switch (octet & 0xF0) {
        case 0x90: return "Shift";
        case 0xB0: return "Congestion level";
        case 0xD0: return "Repeat indicator";
        default: return nullptr;
    }
}

template <size_t N>
char const* Find(Name const (&table)[N], uint8_t code) {
    for (Name const& entry : table)
        if (entry.code == code) return entry.name;
    return nullptr;
}

void Octet(std::ostream& os, uint8_t octet) {
    char text[4];
    std::snprintf(text, sizeof(text), "%02X", octet);
    os << text;
}

void Octets(std::ostream& os, uint8_t const* at, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        os << ' ';
        Octet(os, at[i]);
    }
}

// "Cause:" for an element with a name, "ie 2A:" for one without.
void Label(std::ostream& os, char const* name, uint8_t id) {
    if (name) {
        os << name << ':';
        return;
    }
    os << "ie ";
    Octet(os, id);
    os << ':';
}

// Writes the elements from `at` to `end`, one " | name: octets" each.
void Elements(std::ostream& os, uint8_t const* at, uint8_t const* end) {
    unsigned codeset = 0;
    // A non-locking shift applies to the next element only.
    int next_only = -1;
    while (at < end) {
        uint8_t const id = *at;
        unsigned const this_codeset = next_only >= 0 ? unsigned(next_only) : codeset;
        next_only = -1;
        os << " | ";
        if (id & 0x80) {
            Label(os, SingleOctetName(id), id);
            Octets(os, at, 1);
            ++at;
            if ((id & 0xF0) == 0x90) {
                if (id & 0x08) {
                    next_only = id & 0x07;
                } else {
                    codeset = id & 0x07;
                }
            }
            continue;
        }
        if (end - at < 2 || at[1] > end - at - 2) {
            os << "malformed:";
            Octets(os, at, size_t(end - at));
            return;
        }
        size_t const length = at[1];
        if (this_codeset != 0) os << "codeset " << this_codeset << ' ';
        Label(os, this_codeset == 0 ? Find(elements, id) : nullptr, id);
        Octets(os, at + 2, length);
        at += 2 + length;
    }
}

}  // namespace

void dlogframe(std::ostream& os, char const* direction, uint8_t const* message, size_t size) {
    os << direction << ' ';
    if (size == 0) {
        os << "empty message" << std::endl;
        return;
    }
    uint8_t const pd = message[0];
    os << "pd ";
    Octet(os, pd);
    if (pd != call_control) {
        os << ':';
        Octets(os, message + 1, size - 1);
        os << std::endl;
        return;
    }
    // The call reference: its length in octet 2, then the value, whose
    // first bit is the flag; then the message type.
    size_t const cr_length = size > 1 ? message[1] & 0x0F : 0;
    if (size < 3 || (message[1] & 0xF0) != 0 || cr_length + 3 > size) {
        os << " malformed:";
        Octets(os, message + 1, size - 1);
        os << std::endl;
        return;
    }
    if (cr_length == 0) {
        os << " cr dummy";
    } else if (cr_length > 4) {
        os << " cr";
        Octets(os, message + 2, cr_length);
    } else {
        unsigned long value = message[2] & 0x7F;
        for (size_t i = 1; i < cr_length; ++i) value = value << 8 | message[2 + i];
        os << " cr " << value << " flag " << (message[2] >> 7);
    }
    uint8_t const type = message[2 + cr_length];
    char const* const name = Find(message_types, type);
    if (name) {
        os << ' ' << name;
    } else {
        os << " message type ";
        Octet(os, type);
    }
    Elements(os, message + 3 + cr_length, message + size);
    os << std::endl;
}

}  // namespace ISDN
