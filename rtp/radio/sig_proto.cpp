#include "rtp/radio/sig_proto.h"

#include <sstream>

#include "hardware/device/record.h"

namespace sig_proto {

namespace {

constexpr unsigned max_selcall = 3;
constexpr unsigned max_li = 511;
constexpr unsigned max_squelch = 2;
constexpr unsigned max_rte = 7;
constexpr unsigned max_standby = 1;

// Appends fields; the first value that does not fit sets the fault and
// every later append is ignored.
class Writer {
public:
    void u8(unsigned value) { bytes_.push_back(uint8_t(value)); }
    void u16(unsigned value) {
        u8(value >> 8);
        u8(value);
    }
    void u32(uint32_t value) {
        u16(value >> 16);
        u16(value & 0xFFFF);
    }
    void code(char const* what, int value, unsigned max) {
        if (value < 0 || unsigned(value) > max) return refuse(what, value);
        u8(unsigned(value));
    }
    void text(char const* what, std::string const& value) {
        if (value.size() > max_text) {
            std::ostringstream why;
            why << what << " of " << value.size() << " characters is longer than " << max_text;
            return fault(why.str());
        }
        u8(unsigned(value.size()));
        bytes_.insert(bytes_.end(), value.begin(), value.end());
    }
    void flags(TERM::RadioFlags const& f) {
        u32(uint32_t(f.get_prio().getValue()));
        bool const bits[] = {f.get_ptt(), f.get_bss(), f.get_vad_rx(), f.get_vad_tx(), f.get_sql(),
                             f.get_sh(),  f.get_pwr(), f.get_rv(),     f.get_resv()};
        unsigned word = 0;
        for (unsigned bit = 0; bit < sizeof(bits); ++bit) word |= unsigned(bits[bit]) << bit;
        u16(word);
        if (f.get_selcall().getValue() > max_selcall)
            return refuse("selcall", f.get_selcall().getValue());
        if (f.get_li().getValue() > max_li) return refuse("li", f.get_li().getValue());
        u8(f.get_selcall().getValue());
        u8(0);
        u16(f.get_li().getValue());
        u16(0);
    }
    void frequency(TERM::RadioFrequency const& f) {
        u32(uint32_t(f.get_channel().getValue()));
        text("frequency", f.get_frequency());
    }
    void remote(TERM::RadioRemote const& r) {
        u8(r.get_no().getValue());
        u8(r.get_ch().getValue());
    }
    void squelch(TERM::RadioSquelshe const& s) { code("squelshe", s.asInt(), max_squelch); }
    void rte(TERM::RadioRTE const& r) { code("rte", r.asInt(), max_rte); }
    void standby(TERM::RadioStandby const& s) { code("standby state", s.asInt(), max_standby); }

    void fault(std::string const& why) {
        if (fault_.empty()) fault_ = why;
    }
    Encoded done() {
        Encoded encoded;
        encoded.fault = fault_;
        if (fault_.empty()) encoded.bytes = std::move(bytes_);
        return encoded;
    }

private:
    void refuse(char const* what, long value) {
        std::ostringstream why;
        why << what << " " << value << " has no code in the record";
        fault(why.str());
    }

    std::vector<uint8_t> bytes_;
    std::string fault_;
};

template <class Command>
void flagsIpSsrc(Writer& w, Command const& c) {
    w.flags(c.get_flags());
    w.text("ip", c.get_ip());
    w.u32(c.get_ssrc().getValue());
}

void body(Writer& w, TERM::KvelRadioModifierParams const& p) {
    using P = TERM::KvelRadioModifierParams;
    switch (p.currentSelection()) {
        case P::gw_set_flags::index:
            return w.flags(p.get_gw_set_flags().get_flags());
        case P::gw_set_freq::index:
            return w.frequency(p.get_gw_set_freq().get_freq());
        case P::gw_set_ptt::index:
            return w.flags(p.get_gw_set_ptt().get_flags());
        case P::gw_set_bss::index:
            return w.flags(p.get_gw_set_bss().get_flags());
        case P::gw_set_sh::index:
            return w.flags(p.get_gw_set_sh().get_flags());
        case P::gw_set_pwr::index:
            return w.flags(p.get_gw_set_pwr().get_flags());
        case P::gw_set_rv::index:
            return w.flags(p.get_gw_set_rv().get_flags());
        case P::gw_set_resv::index:
            return w.flags(p.get_gw_set_resv().get_flags());
        case P::gw_set_selcall::index:
            flagsIpSsrc(w, p.get_gw_set_selcall());
            return w.text("cid", p.get_gw_set_selcall().get_cid());
        case P::gw_set_remote::index:
            return w.remote(p.get_gw_set_remote().get_remote());
        case P::gw_set_squelshe::index:
            return w.squelch(p.get_gw_set_squelshe().get_squelshe());
        case P::gw_set_rte::index:
            return w.rte(p.get_gw_set_rte().get_rte());
        case P::gw_set_standby::index:
            return w.standby(p.get_gw_set_standby().get_state());
        case P::wm_flags::index:
            return w.flags(p.get_wm_flags().get_flags());
        case P::wm_trans::index:
            return flagsIpSsrc(w, p.get_wm_trans());
        case P::wm_quality::index:
            return w.text("bss-val", p.get_wm_quality().get_bss_val());
        case P::wm_chan::index: {
            TERM::RadioCommandWMChan const& c = p.get_wm_chan();
            w.frequency(c.get_freq());
            w.squelch(c.get_squelshe());
            return w.rte(c.get_rte());
        }
        case P::wm_selcall::index:
            flagsIpSsrc(w, p.get_wm_selcall());
            return w.text("cid", p.get_wm_selcall().get_cid());
        case P::wm_remote::index:
            return w.remote(p.get_wm_remote().get_remote());
        case P::wm_standby::index: {
            TERM::RadioCommandWMStandby const& c = p.get_wm_standby();
            w.standby(c.get_state_channel());
            w.u8(c.get_group().getValue());
            return w.standby(c.get_state_receiver());
        }
        default:
            return w.fault("no command chosen");
    }
}

// Takes fields from the record; the first that is not all there, or out of
// its codes, sets the fault, and every later take gives 0.
class Reader {
public:
    Reader(uint8_t const* data, size_t size) : at_(data), end_(data + size), size_(size) {}

    unsigned u8(char const* what) {
        if (!have(1, what)) return 0;
        return *at_++;
    }
    unsigned u16(char const* what) {
        if (!have(2, what)) return 0;
        at_ += 2;
        return Device::get16(at_ - 2);
    }
    uint32_t u32(char const* what) {
        if (!have(4, what)) return 0;
        at_ += 4;
        return Device::get32(at_ - 4);
    }
    unsigned code(char const* what, unsigned max) {
        unsigned const value = u8(what);
        if (value > max) fault(std::string(what) + " " + std::to_string(value) + " has no meaning");
        return value > max ? 0 : value;
    }
    std::string text(char const* what) {
        size_t const length = u8(what);
        if (!have(length, what)) return {};
        at_ += length;
        return std::string(reinterpret_cast<char const*>(at_ - length), length);
    }
    void flags(TERM::RadioFlags& f) {
        f.set_prio(int(u32("prio")));
        unsigned const bits = u16("flag bits");
        f.set_ptt(bits & 1), f.set_bss(bits >> 1 & 1), f.set_vad_rx(bits >> 2 & 1);
        f.set_vad_tx(bits >> 3 & 1), f.set_sql(bits >> 4 & 1), f.set_sh(bits >> 5 & 1);
        f.set_pwr(bits >> 6 & 1), f.set_rv(bits >> 7 & 1), f.set_resv(bits >> 8 & 1);
        f.set_selcall(code("selcall", max_selcall));
        u8("flags");
        unsigned const li = u16("li");
        if (li > max_li) fault("li " + std::to_string(li) + " has no meaning");
        f.set_li(li > max_li ? 0 : li);
        u16("flags");
    }
    void end() {
        if (fault_.empty() && at_ != end_)
            fault(std::to_string(end_ - at_) + " bytes follow the " +
                  std::to_string(size_ - size_t(end_ - at_)) + "-byte status");
    }
    std::string const& faultText() const { return fault_; }

private:
    bool have(size_t n, char const* what) {
        if (!fault_.empty()) return false;
        if (size_t(end_ - at_) >= n) return true;
        fault("status record of " + std::to_string(size_) + " bytes ends inside its " + what);
        return false;
    }
    void fault(std::string const& why) {
        if (fault_.empty()) fault_ = why;
    }

    uint8_t const* at_;
    uint8_t const* const end_;
    size_t const size_;
    std::string fault_;
};

}  // namespace

Encoded encodeCommand(TERM::KvelRadioModifier const& command) {
    Writer w;
    w.u8(unsigned(command.get_params().currentSelection()));
    w.u8(0);
    w.u16(0);
    w.u32(command.get_addr().get_session_ssrc().getValue());
    w.text("session address", command.get_addr().get_session_addr());
    body(w, command.get_params());
    return w.done();
}

Decoded decodeStatus(uint8_t const* data, size_t size) {
    Reader r(data, size);
    Decoded decoded;
    TERM::KvelRadioStatus& s = decoded.status;
    r.flags(s.set_flags());
    s.set_freq().set_channel(int(r.u32("channel")));
    s.set_freq().set_frequency(r.text("frequency"));
    s.set_remote().set_no(r.u8("remote"));
    s.set_remote().set_ch(r.u8("remote"));
    s.set_squelshe(TERM::RadioSquelshe::NamedNumber(r.code("squelshe", max_squelch)));
    s.set_rte(TERM::RadioRTE::NamedNumber(r.code("rte", max_rte)));
    s.set_standby_state_channel(
        TERM::RadioStandby::NamedNumber(r.code("standby state", max_standby)));
    s.set_standby_group(r.u8("standby group"));
    s.set_standby_state_receiver(
        TERM::RadioStandby::NamedNumber(r.code("standby state", max_standby)));
    r.end();
    decoded.fault = r.faultText();
    return decoded;
}

}  // namespace sig_proto
