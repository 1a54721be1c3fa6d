#pragma once
// Names of protocol layers, for logs and lookups. A layer without a name of
// its own has the null name "(no name)"; a named layer (the stream and TPKT
// layers) holds a Protocol_name_str.

#include <iosfwd>
#include <string>

class Protocol_name {
public:
    virtual ~Protocol_name() = default;
    // Which kind of name this is: names of different kinds never compare equal.
    virtual int kind() const = 0;
    virtual char const* name() const = 0;
    virtual bool compare(Protocol_name const& other) const = 0;

    bool compatible(Protocol_name const& other) const { return kind() == other.kind(); }
    void out(std::ostream& os) const;
};

std::ostream& operator<<(std::ostream& os, Protocol_name const& name);

class Protocol_name_null : public Protocol_name {
public:
    int kind() const override { return 0; }
    char const* name() const override { return "(no name)"; }
    bool compare(Protocol_name const& other) const override { return compatible(other); }
};

class Protocol_name_str : public Protocol_name {
public:
    // Keeps its own copy of text; a null text gives "(no name)".
    explicit Protocol_name_str(char const* text) : text_(text ? text : "(no name)") {}

    int kind() const override { return 1; }
    char const* name() const override { return text_.c_str(); }
    bool compare(Protocol_name const& other) const override {
        return compatible(other) && text_ == other.name();
    }

private:
    std::string text_;
};
