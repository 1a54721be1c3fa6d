#pragma once
// Status objects: the outcome of a layer's initialisation, activation or
// deactivation, reported to the layers above it and to its stack. A status is
// made with new, wrapped at once in a Smart_pointer<Internal_protocol_status>
// and shared along the whole notification chain (the same object reaches
// every receiver); it is deleted when the last holder lets go.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <utility>

#include "runtime/containers/smart_pointer.h"

class Protocol_info;

class Internal_protocol_status {
public:
    explicit Internal_protocol_status(Protocol_info const* source) : source(source) {}
    Internal_protocol_status(Internal_protocol_status const&) = delete;
    Internal_protocol_status& operator=(Internal_protocol_status const&) = delete;
    virtual ~Internal_protocol_status() = default;

    virtual bool success() const = 0;
    virtual std::string message() const = 0;
    // Writes the text alone.
    virtual void out(std::ostream& os) const = 0;

    Protocol_info const* const source;  // the layer that made the status
    uint32_t ref_count = 0;
};

std::ostream& operator<<(std::ostream& os, Internal_protocol_status const& status);

// Status objects are never changed once made: a holder reaching one through
// a non-const pointer shares it like everyone else instead of copying it.
template <>
inline void Smart_pointer<Internal_protocol_status>::prepare_for_modify() {}

class Protocol_status_success : public Internal_protocol_status {
public:
    Protocol_status_success(Protocol_info const* source, std::string text)
        : Internal_protocol_status(source), text_(std::move(text)) {}

    bool success() const override { return true; }
    std::string message() const override { return text_; }
    void out(std::ostream& os) const override;

private:
    std::string text_;
};

class Protocol_status_error : public Internal_protocol_status {
public:
    Protocol_status_error(Protocol_info const* source, std::string text)
        : Internal_protocol_status(source), text_(std::move(text)) {}

    bool success() const override { return false; }
    std::string message() const override { return text_; }
    void out(std::ostream& os) const override;

private:
    std::string text_;
};

// The failure of an initialisation that has nothing to initialise.
class Protocol_initialize_error : public Protocol_status_error {
public:
    explicit Protocol_initialize_error(Protocol_info const* source)
        : Protocol_status_error(source, "error") {}
};
