#include "asn1/types/oid_time.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "asn1/coders/visitor.h"

namespace ASN1 {

BasicInfo const OBJECT_IDENTIFIER::theInfo = {&OBJECT_IDENTIFIER::create, 6};
BasicInfo const GeneralizedTime::theInfo = {&GeneralizedTime::create, 24};

void OBJECT_IDENTIFIER::encodeCommon(std::vector<char>& out) const {
    std::vector<char> octets;
    if (arcs_.size() < 2) {
        out.clear();
        return;
    }
    auto put = [&octets](unsigned sub) {
        char digits[5];
        int n = 0;
        do {
            digits[n++] = char(sub & 0x7F);
            sub >>= 7;
        } while (sub);
        while (n > 1) octets.push_back(char(digits[--n] | 0x80));
        octets.push_back(digits[0]);
    };
    put(arcs_[0] * 40 + arcs_[1]);
    for (std::size_t i = 2; i < arcs_.size(); ++i) put(arcs_[i]);
    out.insert(out.begin(), octets.begin(), octets.end());
}

bool OBJECT_IDENTIFIER::decodeCommon(char const* data, unsigned length) {
    arcs_.clear();
    if (length == 0) return true;
    arcs_.push_back(0);
    unsigned sub = 0;
    bool inside = false;
    for (unsigned i = 0; i < length; ++i) {
        unsigned char const octet = data[i];
        // An arc beyond 32 bits would wrap into another number: refused.
        if (sub > (~0u >> 7)) return false;
        sub = sub * 128 + (octet & 0x7F);
        inside = octet & 0x80;
        if (!inside) {
            arcs_.push_back(sub);
            sub = 0;
        }
    }
    if (inside) return false;
    unsigned const x = arcs_[1];
    if (x < 40) {
        arcs_[0] = 0;
    } else if (x < 80) {
        arcs_[0] = 1;
        arcs_[1] = x - 40;
    } else {
        arcs_[0] = 2;
        arcs_[1] = x - 80;
    }
    return true;
}

int OBJECT_IDENTIFIER::do_compare(AbstractData const& other) const {
    auto const& o = static_cast<OBJECT_IDENTIFIER const&>(other);
    std::size_t const n = std::min(arcs_.size(), o.arcs_.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (arcs_[i] != o.arcs_[i]) return int(arcs_[i] - o.arcs_[i]);
    }
    return int(arcs_.size()) - int(o.arcs_.size());
}
bool OBJECT_IDENTIFIER::do_accept(Visitor& v) {
    return v.visit(*this);
}
bool OBJECT_IDENTIFIER::do_accept(ConstVisitor& v) const {
    return v.visit(*this);
}

GeneralizedTime::GeneralizedTime(int year_, int month_, int day_, int hour_, int minute_,
                                 int second_, int millisec_, int mindiff_, bool utc_)
    : AbstractData(&theInfo),
      year(year_),
      month(month_),
      day(day_),
      hour(hour_),
      minute(minute_),
      second(second_),
      millisec(millisec_),
      mindiff(mindiff_),
      utc(utc_) {}

void GeneralizedTime::swap(GeneralizedTime& o) {
    std::swap(year, o.year);
    std::swap(month, o.month);
    std::swap(day, o.day);
    std::swap(hour, o.hour);
    std::swap(minute, o.minute);
    std::swap(second, o.second);
    std::swap(millisec, o.millisec);
    std::swap(mindiff, o.mindiff);
    std::swap(utc, o.utc);
}

void GeneralizedTime::set(char const* text) {
    // The text is the whole value: a field it leaves out (fraction, zone)
    // takes the value a fresh time has, not the one held before.
    *this = GeneralizedTime(info());
    std::sscanf(text, "%4d%2d%2d%2d%2d%2d", &year, &month, &day, &hour, &minute, &second);
    std::size_t const len = std::strlen(text);
    if (len > 14 && text[14] == '.' && std::isdigit(static_cast<unsigned char>(text[15]))) {
        // Thousandths from the first three digits of the fraction (".5" is
        // 500, ".005" is 5), further digits cut off; read as digits, not as
        // a floating-point number that would turn .005 into 4.
        int digits = 0;
        millisec = 0;
        for (char const* p = text + 15; std::isdigit(static_cast<unsigned char>(*p)); ++p) {
            if (digits++ < 3) millisec = millisec * 10 + (*p - '0');
        }
        for (; digits < 3; ++digits) millisec *= 10;
    }
    if (len == 0) return;
    if (text[len - 1] == 'Z') {
        utc = true;
    } else if (len >= 5 && (text[len - 5] == '+' || text[len - 5] == '-')) {
        int hh = 0, mm = 0;
        if (std::sscanf(text + len - 4, "%2d%2d", &hh, &mm) == 2) {
            int const total = hh * 60 + mm;
            mindiff = text[len - 5] == '-' ? -total : total;
        }
    }
}

std::string GeneralizedTime::get() const {
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d", year, month, day, hour,
                          minute, second);
    if (millisec != 0) n += std::snprintf(buf + n, sizeof buf - n, ".%03d", millisec);
    if (utc) {
        n += std::snprintf(buf + n, sizeof buf - n, "Z");
    } else if (mindiff != 0) {
        int const a = std::abs(mindiff);
        n += std::snprintf(buf + n, sizeof buf - n, "%c%02d%02d", mindiff < 0 ? '-' : '+', a / 60,
                           a % 60);
    }
    return std::string(buf, n > int(sizeof buf) - 1 ? sizeof buf - 1 : std::size_t(n));
}

long GeneralizedTime::get_time_t() const {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    // The fields are taken as UTC, as set_time_t writes them, so that a
    // round trip gives back the same time whatever the local time zone.
    return long(timegm(&t));
}

void GeneralizedTime::set_time_t(long value) {
    std::time_t const t = value;
    std::tm parts{};
    if (!gmtime_r(&t, &parts)) return;
    year = parts.tm_year + 1900;
    month = parts.tm_mon + 1;
    day = parts.tm_mday;
    hour = parts.tm_hour;
    minute = parts.tm_min;
    second = parts.tm_sec;
}

int GeneralizedTime::do_compare(AbstractData const& other) const {
    auto const& o = static_cast<GeneralizedTime const&>(other);
    if (year != o.year) return year - o.year;
    if (month != o.month) return month - o.month;
    if (day != o.day) return day - o.day;
    if (hour != o.hour) return hour - o.hour;
    if (minute != o.minute) return minute - o.minute;
    if (second != o.second) return second - o.second;
    if (millisec != o.millisec) return millisec - o.millisec;
    return int(utc) - int(o.utc);
}
bool GeneralizedTime::do_accept(Visitor& v) {
    return v.visit(*this);
}
bool GeneralizedTime::do_accept(ConstVisitor& v) const {
    return v.visit(*this);
}

}  // namespace ASN1
