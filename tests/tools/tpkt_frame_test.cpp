#include "tools/ctl/tpkt_frame.h"

#include <gtest/gtest.h>

#include "tools/ctl/message_text.h"

namespace {

using Ctl::Bytes;
using Ctl::hexText;
using Ctl::tpktFrame;
using Ctl::TpktReader;

std::string next(TpktReader& reader) {
    auto const payload = reader.next();
    return payload ? "[" + hexText(*payload, 100) + "]" : "none";
}

void feed(TpktReader& reader, Bytes const& bytes) {
    reader.feed(bytes.data(), bytes.size());
}

TEST(TpktFraming, HeaderCountsItselfBigEndian) {
    EXPECT_EQ(hexText(tpktFrame({0x80, 0x01, 0x07, 0x18}), 100), "03 00 00 08 80 01 07 18");
    Bytes const big(300, 0xAA);
    Bytes const frame = tpktFrame(big);
    ASSERT_EQ(frame.size(), 304u);
    EXPECT_EQ(hexText(frame, 5), "03 00 01 30 AA ... (304 octets)");
}

TEST(TpktFraming, LargestPayloadFitsAndOneMoreIsRefused) {
    EXPECT_EQ(hexText(tpktFrame(Bytes(65531, 0)), 4), "03 00 FF FF ... (65535 octets)");
    EXPECT_TRUE(tpktFrame(Bytes(65532, 0)).empty());
}

TEST(TpktReading, CutsFramesAcrossAndWithinChunks) {
    TpktReader reader;
    feed(reader, {0x03, 0x00});
    EXPECT_EQ(next(reader), "none");
    feed(reader, {0x00, 0x06, 0x24});
    EXPECT_EQ(next(reader), "none");
    EXPECT_EQ(reader.pending(), 5u);
    feed(reader, {0x40, 0x03, 0x00, 0x00, 0x05, 0x11, 0x03, 0x00, 0x00, 0x04});
    EXPECT_EQ(next(reader), "[24 40]");
    EXPECT_EQ(next(reader), "[11]");
    EXPECT_EQ(next(reader), "[]");
    EXPECT_EQ(next(reader), "none");
    EXPECT_EQ(reader.pending(), 0u);
    EXPECT_EQ(reader.takeSkipped(), 0u);
}

TEST(TpktReading, SkipsBytesThatCannotStartAFrameAndCountsThem) {
    TpktReader reader;
    // A wrong version, a reserved octet that is not 0, and a length shorter
    // than the header, then a good frame.
    feed(reader, {0x04, 0x03, 0x01, 0x03, 0x00, 0x00, 0x03, 0x03, 0x00, 0x00, 0x05, 0x7E});
    EXPECT_EQ(next(reader), "[7E]");
    EXPECT_EQ(reader.takeSkipped(), 7u);
    EXPECT_EQ(reader.takeSkipped(), 0u);
}

}  // namespace
