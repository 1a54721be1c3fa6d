#pragma once
// Stream guards of the value-notation stream operators: a value is written
// (g_inserter) or read (g_extractor) inside IOWrapper::do_it, which turns
// the state the work returns, or an exception it throws, into the stream's
// state. Printing a value into a log line thus never throws at the caller
// unless the stream's exception mask asks for it.

#include <ios>
#include <istream>
#include <new>
#include <ostream>

#include "asn1/types/abstract_data.h"

namespace ASN1 {

template <class CharT, class Traits = std::char_traits<CharT>>
class IOWrapper {
public:
    virtual ~IOWrapper() = default;

    // Runs do_real_io and sets the state it returns on the stream.
    // std::bad_alloc sets the bad bit, any other exception the fail bit; the
    // exception travels on only when the stream's exception mask holds that
    // bit.
    void do_it(std::basic_ios<CharT, Traits>& stream) {
        std::ios_base::iostate state = std::ios_base::goodbit;
        try {
            state = do_real_io();
        } catch (std::bad_alloc const&) {
            if (setAfterThrow(stream, std::ios_base::badbit)) throw;
            return;
        } catch (...) {
            if (setAfterThrow(stream, std::ios_base::failbit)) throw;
            return;
        }
        if (state != std::ios_base::goodbit) stream.setstate(state);
    }

protected:
    virtual std::ios_base::iostate do_real_io() = 0;

private:
    // Sets `bit` with the exception mask kept as it was: the exception being
    // handled travels, never an std::ios_base::failure raised in its place.
    // True when the mask asks for the exception.
    static bool setAfterThrow(std::basic_ios<CharT, Traits>& stream, std::ios_base::iostate bit) {
        std::ios_base::iostate const mask = stream.exceptions();
        stream.exceptions(std::ios_base::goodbit);
        stream.setstate(bit);
        try {
            stream.exceptions(mask);
        } catch (...) {
            // The mask is back in place; the failure it raised only reports
            // the bit just set.
        }
        return (mask & bit) != 0;
    }
};

// Writes the value to an output stream, or reads it from an input stream,
// once the stream's sentry is ready; an input sentry first skips the blanks
// in front of the value.
template <class Stream, class Value>
class ValueIOWrapper : public IOWrapper<typename Stream::char_type, typename Stream::traits_type> {
public:
    ValueIOWrapper(Stream& stream, Value& value) : stream_(stream), value_(value) {}

protected:
    std::ios_base::iostate do_real_io() override {
        typename Stream::sentry ready(stream_);
        return ready ? transfer(stream_, value_) : std::ios_base::goodbit;
    }

private:
    static std::ios_base::iostate transfer(std::ostream& os, AbstractData const& value) {
        return value.print_on(os);
    }
    static std::ios_base::iostate transfer(std::istream& is, AbstractData& value) {
        return value.get_from(is);
    }

    Stream& stream_;
    Value& value_;
};

template <class CharT, class Traits = std::char_traits<CharT>>
using InserterWrapper = ValueIOWrapper<std::basic_ostream<CharT, Traits>, AbstractData const>;

template <class CharT, class Traits, class Value>
using ExtractorWrapper = ValueIOWrapper<std::basic_istream<CharT, Traits>, Value>;

template <class CharT, class Traits>
std::basic_ostream<CharT, Traits>& g_inserter(std::basic_ostream<CharT, Traits>& os,
                                              AbstractData const& value) {
    if (!os.good()) return os;
    InserterWrapper<CharT, Traits>(os, value).do_it(os);
    return os;
}

template <class CharT, class Traits, class Value>
std::basic_istream<CharT, Traits>& g_extractor(std::basic_istream<CharT, Traits>& is,
                                               Value& value) {
    if (!is.good()) return is;
    ExtractorWrapper<CharT, Traits, Value>(is, value).do_it(is);
    return is;
}

}  // namespace ASN1
