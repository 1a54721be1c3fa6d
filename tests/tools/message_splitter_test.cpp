#include "tools/ctl/message_splitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Every message of the input fed in chunks of `chunk` characters, as
// "line: text" entries.
std::vector<std::string> split(std::string const& input, std::size_t chunk = 4096) {
    Ctl::MessageSplitter splitter;
    std::vector<std::string> out;
    auto note = [&](Ctl::MessageText const& m) {
        out.push_back(std::to_string(m.line) + ": " + m.text);
    };
    for (std::size_t i = 0; i < input.size(); i += chunk) {
        splitter.feed(input.substr(i, chunk));
        while (auto m = splitter.next()) note(*m);
    }
    if (auto m = splitter.finish()) note(*m);
    return out;
}

using Lines = std::vector<std::string>;

TEST(MessageSplitting, OneMessagePerLineAndBlankLinesBetweenThemSkipped) {
    std::string const input =
        "{ seq 1, pdu command : ping : NULL }\n"
        "\n"
        "   \n"
        "{ seq 2, pdu command : ping : NULL }\n";
    Lines const expected = {"1: { seq 1, pdu command : ping : NULL }",
                            "4: { seq 2, pdu command : ping : NULL }"};
    EXPECT_EQ(split(input), expected);
    EXPECT_EQ(split(input, 1), expected);
}

TEST(MessageSplitting, AMessageSpansLinesUntilItsBracesBalance) {
    std::string const input =
        "{\n"
        "  seq 1,\n"
        "  pdu command : create : { a { b }, c \"}}\" }\n"
        "}\n"
        "{ seq 2, pdu command : ping : NULL }\n";
    Lines const expected = {"1: {\n  seq 1,\n  pdu command : create : { a { b }, c \"}}\" }\n}",
                            "5: { seq 2, pdu command : ping : NULL }"};
    EXPECT_EQ(split(input), expected);
    EXPECT_EQ(split(input, 3), expected);
}

TEST(MessageSplitting, ABlankLineEndsAMessageWhoseBracesOrQuotesNeverClose) {
    EXPECT_EQ(split("{ seq 1,\n\n{ seq 2 }\n"), (Lines{"1: { seq 1,", "3: { seq 2 }"}));
    EXPECT_EQ(split("{ a \"open\n\n{ b }\n"), (Lines{"1: { a \"open", "3: { b }"}));
}

TEST(MessageSplitting, TextWithoutBracesIsAMessageOfItsOwnLine) {
    EXPECT_EQ(split("garbage\n{ seq 1 }\n} stray\n"),
              (Lines{"1: garbage", "2: { seq 1 }", "3: } stray"}));
}

TEST(MessageSplitting, TheEndOfTheInputEndsTheLastMessage) {
    EXPECT_EQ(split("{ seq 1 }"), (Lines{"1: { seq 1 }"}));
    EXPECT_EQ(split("{ seq 1,\n  pdu"), (Lines{"1: { seq 1,\n  pdu"}));
    EXPECT_EQ(split("\n\n"), Lines{});
}

}  // namespace
