#include "runtime/log/ext.h"
#include "runtime/log/version.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

TEST(ExtHex, DumpsBytesInUpperCaseAndRestoresTheStream) {
    unsigned char const bytes[] = {0x0A, 0x1B, 0xFF};
    std::ostringstream out;
    out << ext::hex(bytes, bytes + 3) << 10;
    EXPECT_EQ(out.str(), "0A 1B FF 10");
    EXPECT_EQ(out.fill(), ' ');

    std::ostringstream empty;
    empty << ext::hex(bytes, bytes);
    EXPECT_EQ(empty.str(), "");
}

TEST(ExtHex, PrintsNumbersWithAMinimumOfDigits) {
    std::ostringstream out;
    out << ext::hex(31u, 0u) << ' ' << ext::hex(5u, 4u) << ' ' << 12;
    EXPECT_EQ(out.str(), "0x1F 0x0005 12");
}

struct Named {
    void PutHeader(std::ostream& os) const { os << "named [1]: "; }
};

TEST(ExtHeader, PrintsTheObjectsOwnPrefixAndQuotedValues) {
    Named n;
    std::ostringstream out;
    out << ext::header(&n) << "state " << ext::quoted("up");
    EXPECT_EQ(out.str(), "named [1]: state \"up\"");
}

TEST(ExtTable, CentresCellsAndDrawsBorders) {
    ext::Table table(5, 3);
    std::ostringstream out;
    out << table << ext::delimeter << ext::beginrow << "ab" << ext::nextrow << "x" << ext::nextrow;
    EXPECT_EQ(out.str(), "+-----+---+\n| ab  | x |\n");
}

TEST(ExtTable, CutsLongCellsAndCompletesUnfinishedRows) {
    ext::Table table(3, 2);
    std::ostringstream out;
    out << table << ext::beginrow << "abcdef" << ext::nextrow << "dropped";
    EXPECT_EQ(out.str(), "|abc|  |\n");

    std::ostringstream after;
    after << table << "late" << ext::nextrow;  // no beginrow after a full row
    EXPECT_EQ(after.str(), "");
}

TEST(ExtTable, WithoutColumnsWritesNothing) {
    ext::Table table;
    std::ostringstream out;
    out << table << ext::delimeter << "cell" << ext::nextrow;
    table.gap(out);
    EXPECT_EQ(out.str(), "");
}

TEST(VersionStamp, PrintsOnlyTheTag) {
    std::ostringstream out;
    out << Version::current;
    EXPECT_EQ(out.str(), "T231005-1638");
    EXPECT_STREQ(Version::current.extra(), "");
    EXPECT_STREQ(version_string(Version::Type(3)), "unit-test");
    EXPECT_STREQ(version_suffix(Version::Type(3)), "T");
    EXPECT_STREQ(version_string(Version::Type(4)), "unknown");
    EXPECT_STREQ(version_suffix(Version::Type(4)), "U");
}

}  // namespace
