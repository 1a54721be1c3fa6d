#pragma once
// The build stamp. Its tag is what the server prints as its version wherever
// it names itself ("server version: ", the start-up line, the syslog
// identity, the status dump, the monitoring build value).

#include <ostream>

class Version {
public:
    enum Type : int { snapshot = 0, test = 1, release = 2, unit_test = 3 };

    Version(Type type, int number, char const* extra, char const* builder, char const* date,
            char const* tag, char const* arch);
    ~Version() {}

    char const* tag() const { return tag_; }
    void put(std::ostream& os) const { os << tag_; }
    void update() {}

    static Version const current;

    Type type() const { return type_; }
    int number() const { return number_; }
    char const* extra() const { return extra_; }
    char const* builder() const { return builder_; }
    char const* date() const { return date_; }
    char const* arch() const { return arch_; }

private:
    Type type_;
    int number_;
    char const* extra_;
    char const* builder_;
    char const* date_;
    char const* tag_;
    char const* arch_;
};

char const* version_string(Version::Type type);
char const* version_suffix(Version::Type type);

std::ostream& operator<<(std::ostream& os, Version const& v);
std::ostream& operator<<(std::ostream& os, Version::Type type);
