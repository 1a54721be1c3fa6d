#include "runtime/log/version.h"

Version::Version(Type type, int number, char const* extra, char const* builder, char const* date,
                 char const* tag, char const* arch)
    : type_(type),
      number_(number),
      extra_(extra),
      builder_(builder),
      date_(date),
      tag_(tag),
      arch_(arch) {
    update();
}

Version const Version::current(Version::snapshot, 0, "", "anna", "2023-10-05 16:38", "T231005-1638",
                               "ppc");

char const* version_string(Version::Type type) {
    switch (int(type)) {
        case Version::snapshot:
            return "snapshot";
        case Version::test:
            return "test";
        case Version::release:
            return "release";
        case Version::unit_test:
            return "unit-test";
        default:
            return "unknown";
    }
}

char const* version_suffix(Version::Type type) {
    switch (int(type)) {
        case Version::snapshot:
            return "S";
        case Version::test:
            return "T";
        case Version::release:
            return "R";
        case Version::unit_test:
            return "T";
        default:
            return "U";
    }
}

std::ostream& operator<<(std::ostream& os, Version const& v) {
    v.put(os);
    return os;
}

std::ostream& operator<<(std::ostream& os, Version::Type type) {
    return os << version_string(type);
}
