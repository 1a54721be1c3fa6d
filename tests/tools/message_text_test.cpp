#include "tools/ctl/message_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Ctl::Bytes;
using Ctl::decodeMessage;
using Ctl::encodeMessage;
using Ctl::hexText;

std::string encoded(std::string const& text) {
    Ctl::Encoded const e = encodeMessage(text);
    return e.error.empty() ? hexText(e.payload, 100) : "error: " + e.error;
}

TEST(MessageEncoding, ValueNotationBecomesAlignedPer) {
    EXPECT_EQ(encoded("{ seq 7, pdu command : ping : NULL }"), "80 01 07 18");
    // The printed, multi-line form reads the same.
    EXPECT_EQ(encoded("{\n  seq 7,\n  pdu command : ping : NULL\n}\n"), "80 01 07 18");
    EXPECT_EQ(encoded("{ seq 300, slot 5, pdu response : error : invalidSlot }"),
              "C0 02 01 2C 00 05 62");
}

TEST(MessageEncoding, TextThatDoesNotReadSaysWhereReadingStopped) {
    EXPECT_EQ(encoded("garbage"),
              "error: does not read as an LGCP message: reading stopped at line 1, column 1, "
              "at \"garbage\"");
    EXPECT_EQ(encoded("{ seq 2, pdu comand : ping : NULL }"),
              "error: does not read as an LGCP message: reading stopped at line 1, column 22, "
              "after \"{ seq 2, pdu comand :\"");
    EXPECT_EQ(encoded("{\n  seq 2,\n  pdu command : pong : NULL\n}"),
              "error: does not read as an LGCP message: reading stopped at line 3, column 23, "
              "after \"pdu command : pong :\"");
    EXPECT_EQ(encoded("{ seq 1, pdu command : ping : NULL"),
              "error: the text ends before the message is complete");
    EXPECT_EQ(encoded(" \n "), "error: empty message");
}

TEST(MessageEncoding, ErrorPositionsCountFromTheGivenFirstLine) {
    EXPECT_EQ(encodeMessage("{\n  sek 1 }", 40).error,
              "does not read as an LGCP message: reading stopped at line 41, column 6, "
              "after \"sek\"");
}

TEST(MessageEncoding, TextAfterACompleteMessageIsRefused) {
    EXPECT_EQ(encoded("{ seq 1, pdu command : ping : NULL } { seq 2 }"),
              "error: text after the end of the message at line 1, column 38: \"{ seq 2 }\"");
}

TEST(MessageEncoding, AValueOutsideItsTypeIsRefusedNamingTheComponent) {
    EXPECT_EQ(encoded("{ seq 1, slot 5000, pdu command : ping : NULL }"),
              "error: value outside its type at message.slot: The INTEGER value 5000 is greater "
              "than upper bound 1023");
}

TEST(MessageEncoding, AMessageLongerThanOneFrameIsRefused) {
    // Five strings of 15000 characters: 2 octets of choices, 1 of count,
    // 5 x (2 of length + 15000) = 75013 octets.
    std::string const name = "\"" + std::string(15000, 'n') + "\"";
    std::string list = name;
    for (int i = 0; i < 4; ++i) list += ", " + name;
    EXPECT_EQ(encoded("{ pdu command : display : snmpTrapReceivers : { " + list + " } }"),
              "error: encodes to 75013 octets, more than one frame carries (65531)");
}

TEST(MessageEncoding, AValueTheCoderCannotWriteIsRefused) {
    // One OCTET STRING longer than the coder writes without fragments.
    std::string const octets(2 * 16384, 'A');
    EXPECT_EQ(encoded("{ pdu command : userData : '" + octets + "'H }"),
              "error: cannot be encoded in aligned PER");
}

TEST(MessageDecoding, AnswersAndSignalsPrintInValueNotation) {
    Ctl::Decoded const answer = decodeMessage({0x80, 0x01, 0x07, 0x40});
    EXPECT_TRUE(answer.ok);
    EXPECT_TRUE(answer.answer);
    EXPECT_EQ(answer.text, "{\n  seq 7,\n  pdu response : success : NULL\n}");

    Ctl::Decoded const signal = decodeMessage({0x24, 0x40});
    EXPECT_TRUE(signal.ok);
    EXPECT_FALSE(signal.answer);
    EXPECT_EQ(signal.text, "{\n  pdu signal : power : unknown\n}");
}

TEST(MessageDecoding, APayloadThatDoesNotDecodeComesBackInHex) {
    Ctl::Decoded const bad = decodeMessage({0x80, 0x05});
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(bad.text, "80 05");
    EXPECT_EQ(hexText(Bytes(70, 0x0F), 3), "0F 0F 0F ... (70 octets)");
}

TEST(MessagePrinting, TheStampLeadsAndFollowingLinesAlignUnderIt) {
    EXPECT_EQ(Ctl::stamped(0.0123, "{\n  seq 7\n}"),
              "[  0.012] {\n"
              "            seq 7\n"
              "          }");
    EXPECT_EQ(Ctl::stamped(12.5, "x"), "[ 12.500] x");
}

}  // namespace
