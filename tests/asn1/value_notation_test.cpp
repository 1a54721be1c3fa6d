// Value-notation writer: the exact text of every kind of value.

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <sstream>

#include "asn1/asn1.h"
#include "cross_check_types.h"

namespace {

using namespace ASN1;
using namespace CrossCheck;

std::string text(AbstractData const& value) {
    std::ostringstream os;
    os << value;
    return os.str();
}

// { seq INTEGER, pdu CHOICE { command SEQUENCE { a INTEGER, b SEQUENCE OF INTEGER } } }
void const* const commandInfos[] = {&INTEGER::theInfo, &SEQUENCE_OF<INTEGER>::theInfo};
int32_t const commandIds[] = {-1, -1};
char const* const commandNames[] = {"a", "b"};
SequenceInfo const command = {&SEQUENCE::create, 16,      false,       commandInfos,
                              commandIds,        2,       0,           0,
                              nullptr,           nullptr, commandNames};
void const* const pduInfos[] = {&command};
char const* const pduNames[] = {"command"};
ChoiceInfo const pdu = {&CHOICE::create, 0, false, pduInfos, 1, 1, nullptr, pduNames};
void const* const messageInfos[] = {&INTEGER::theInfo, &pdu};
int32_t const messageIds[] = {-1, -1};
char const* const messageNames[] = {"seq", "pdu"};
SequenceInfo const message = {&SEQUENCE::create, 16,      false,       messageInfos,
                              messageIds,        2,       0,           0,
                              nullptr,           nullptr, messageNames};

TEST(ValueNotation, WritesNestedSequencesChoicesAndListsIndentedByTwo) {
    SEQUENCE m(&message);
    static_cast<INTEGER&>(*m.getField(0)) = 5;
    auto& choice = static_cast<CHOICE&>(*m.getField(1));
    ASSERT_TRUE(choice.select(0));
    auto& cmd = static_cast<SEQUENCE&>(*choice.getSelection());
    static_cast<INTEGER&>(*cmd.getField(0)) = 1;
    auto& list = static_cast<SEQUENCE_OF_Base&>(*cmd.getField(1));
    list.push_back(new INTEGER(7, &INTEGER::theInfo));
    list.push_back(new INTEGER(8, &INTEGER::theInfo));
    EXPECT_EQ(
        "{\n"
        "  seq 5,\n"
        "  pdu command : {\n"
        "    a 1,\n"
        "    b {\n"
        "      7,\n"
        "      8\n"
        "    }\n"
        "  }\n"
        "}",
        text(m));
    EXPECT_EQ(text(m), m.asValueNotation());
}

TEST(ValueNotation, WritesEmptySequencesAndListsOnTwoLines) {
    SEQUENCE rec(&Rec::theInfo);
    // Only optional fields absent: flag and pdu are mandatory, so use a
    // sequence of optionals alone.
    void const* const infos[] = {&INTEGER::theInfo};
    int32_t const ids[] = {0};
    char const* const names[] = {"x"};
    SequenceInfo const optionalOnly = {&SEQUENCE::create, 16,      false, infos, ids, 1, 0, 1,
                                       nullptr,           nullptr, names};
    SEQUENCE empty(&optionalOnly);
    EXPECT_EQ("{\n}", text(empty));
    SEQUENCE_OF<INTEGER> none;
    EXPECT_EQ("{\n}", text(none));
}

TEST(ValueNotation, WritesOctetsInLowerCaseHexAndRestoresTheStream) {
    OCTET_STRING empty;
    EXPECT_EQ("''H", text(empty));
    OCTET_STRING three(std::vector<char>{0x00, 0x0a, char(0xff)}, &OCTET_STRING::theInfo);
    std::ostringstream os;
    os << three << ' ' << 255 << std::setw(4) << 7;
    EXPECT_EQ("'00 0a ff'H 255   7", os.str());
}

TEST(ValueNotation, WritesIntegersByTheSignednessOfTheirType) {
    IntU32 big;
    big.setValue(-1);
    EXPECT_EQ("4294967295", text(big));
    EXPECT_EQ("-1", text(INTEGER(-1, &INTEGER::theInfo)));
    IntSigned small;
    small.setValue(-5);
    EXPECT_EQ("-5", text(small));
}

TEST(ValueNotation, WritesScalarsAndStrings) {
    EXPECT_EQ("NULL", text(Null()));
    EXPECT_EQ("TRUE", text(BOOLEAN(true, &BOOLEAN::theInfo)));
    EXPECT_EQ("FALSE", text(BOOLEAN()));
    // A quote inside is doubled, so that the reader can tell it from the end.
    EXPECT_EQ("\"say \"\"hi\"\"\"", text(IA5String("say \"hi\"")));
    BIT_STRING bits;
    bits.resize(3);
    bits.set(0, true);
    bits.set(2, true);
    EXPECT_EQ("'101'B", text(bits));
    OBJECT_IDENTIFIER oid;
    oid.append(1);
    oid.append(2);
    oid.append(840);
    EXPECT_EQ("{ 1 2 840 }", text(oid));
    GeneralizedTime t(2024, 2, 29, 23, 59, 58, 5, 0, true);
    EXPECT_EQ("\"20240229235958.005Z\"", text(t));
}

TEST(ValueNotation, WritesEnumerationsByNameOrByNumber) {
    ENUMERATED color(&ColorInfo);
    color.setFromInt(2);
    EXPECT_EQ("blue", text(color));
    color.setFromInt(3);
    EXPECT_EQ("3", text(color));
    color.setFromInt(-1);
    EXPECT_EQ("-1", text(color));
    ENUMERATED numbered(&NumberedInfo);
    numbered.setFromInt(5);
    EXPECT_EQ("five", text(numbered));
    numbered.setFromInt(6);
    EXPECT_EQ("six", text(numbered));
    numbered.setFromInt(123);
    EXPECT_EQ("top", text(numbered));
    numbered.setFromInt(1);  // below the maximum, but no item has it
    EXPECT_EQ("1", text(numbered));
}

TEST(ValueNotation, WritesUnconvertibleWideCharactersAsQuadruples) {
    BMPString s(
        L"\x0411"
        L"A",
        &BMPString::theInfo);
    EXPECT_EQ("{{ 0, 0, 4, 17}, { 0, 0, 0, 65}}", text(s));
}

TEST(ValueNotation, FailsTheStreamAndWritesNothingForAChoiceWithoutSelection) {
    PduExt none;
    std::ostringstream os;
    os << none;
    EXPECT_TRUE(os.fail());
    EXPECT_EQ("", os.str());
    EXPECT_FALSE(none.select(-2));
    std::ostringstream again;
    again << none;
    EXPECT_EQ("", again.str());
    EXPECT_TRUE(again.fail());
}

TEST(ValueNotation, PrintValueClearsTheErrorItLeftSoLaterOutputAppears) {
    Rec rec;  // the mandatory pdu has no selection
    std::ostringstream os;
    EXPECT_FALSE(printValue(os, rec));
    os << "next line";
    EXPECT_EQ("{\n  flag FALSE,\n  pdu next line", os.str());
    EXPECT_TRUE(os.good());
}

TEST(ValueNotation, WritesAnOpenTypeAsItsValueOrItsOctets) {
    OpenData open(new BOOLEAN(true, &BOOLEAN::theInfo), &OpenData::theInfo);
    EXPECT_EQ("TRUE", text(open));
    OpenData raw;
    raw.grab(new std::vector<char>{1, 2});
    EXPECT_EQ("'01 02'H", text(raw));
    std::ostringstream os;
    os << OpenData();
    EXPECT_TRUE(os.fail());
}

// A value whose writing and reading throw.
struct Broken {};
class Throwing : public Null {
public:
    explicit Throwing(std::function<void()> raise) : raise_(std::move(raise)) {}

protected:
    bool do_accept(ConstVisitor&) const override { return raise(); }
    bool do_accept(Visitor&) override { return raise(); }

private:
    bool raise() const {
        raise_();
        return true;
    }
    std::function<void()> raise_;
};

TEST(ValueNotation, AnExceptionWhileAValueIsWrittenOrReadEndsAsAStreamState) {
    using State = std::ios_base::iostate;
    State const bad = std::ios_base::badbit, fail = std::ios_base::failbit,
                none = std::ios_base::goodbit;
    struct Case {
        bool outOfMemory;
        State mask;
        State expected;
        bool travels;
    } const cases[] = {{true, none, bad, false},  {true, bad, bad, true},
                       {true, fail, bad, false},  {false, none, fail, false},
                       {false, fail, fail, true}, {false, bad, fail, false}};
    for (Case const& c : cases) {
        Throwing value([&c] {
            if (c.outOfMemory) throw std::bad_alloc();
            throw Broken();
        });
        std::ostringstream os;
        std::istringstream is("NULL");
        std::ios* const streams[] = {&os, &is};
        for (std::ios* stream : streams) {
            stream->exceptions(c.mask);
            bool thrown = false;
            try {
                if (stream == &os)
                    os << value;
                else
                    is >> value;
            } catch (std::bad_alloc const&) {
                thrown = c.outOfMemory;
            } catch (Broken const&) {
                thrown = !c.outOfMemory;
            }
            EXPECT_EQ(thrown, c.travels) << c.outOfMemory << " mask " << c.mask;
            EXPECT_EQ(stream->rdstate(), c.expected) << c.outOfMemory << " mask " << c.mask;
            EXPECT_EQ(stream->exceptions(), c.mask);
        }
    }
}

TEST(ValueNotation, WritesAStringAloneWithoutQuotes) {
    std::ostringstream os;
    os << static_cast<AbstractString const&>(IA5String("host.example"));
    EXPECT_EQ("host.example", os.str());
}

}  // namespace
