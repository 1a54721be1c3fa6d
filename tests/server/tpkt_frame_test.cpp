// The TPKT codec on its own: the header it builds and the frames it cuts
// from a byte stream however the bytes come.

#include "server/tpkt_frame.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/harness.h"

namespace {

using support::hex;
using support::text;

std::string next(Tpkt::Frames& frames) {
    auto const payload = frames.next();
    return payload ? "[" + text(*payload) + "]" : "none";
}

void feed(Tpkt::Frames& frames, std::string const& bytes) {
    Tpkt::Bytes const data = hex(bytes);
    frames.feed(data.data(), data.size());
}

TEST(TpktFraming, HeaderCountsItselfBigEndian) {
    EXPECT_EQ(text(Tpkt::Frame(hex("80 01 07 18"))), "03 00 00 08 80 01 07 18");
    Tpkt::Bytes const frame = Tpkt::Frame(Tpkt::Bytes(300, 0xAA));
    ASSERT_EQ(frame.size(), 304u);
    EXPECT_EQ(text(Tpkt::Bytes(frame.begin(), frame.begin() + 5)), "03 00 01 30 AA");
    EXPECT_EQ(text(Tpkt::Frame(Tpkt::Bytes())), "03 00 00 04");
}

TEST(TpktFraming, LargestPayloadFitsAndOneMoreIsRefused) {
    Tpkt::Bytes const largest = Tpkt::Frame(Tpkt::Bytes(65531, 0));
    ASSERT_EQ(largest.size(), 65535u);
    EXPECT_EQ(text(Tpkt::Bytes(largest.begin(), largest.begin() + 4)), "03 00 FF FF");
    EXPECT_TRUE(Tpkt::Frame(Tpkt::Bytes(65532, 0)).empty());
}

TEST(TpktReading, CutsFramesAcrossAndWithinChunks) {
    Tpkt::Frames frames;
    feed(frames, "03 00");
    EXPECT_EQ(next(frames), "none");
    feed(frames, "00 06 24");
    EXPECT_EQ(next(frames), "none");
    EXPECT_EQ(frames.pending(), 5u);
    feed(frames, "40 03 00 00 05 11 03 00 00 04");
    EXPECT_EQ(next(frames), "[24 40]");
    EXPECT_EQ(next(frames), "[11]");
    EXPECT_EQ(next(frames), "[]");
    EXPECT_EQ(next(frames), "none");
    EXPECT_EQ(frames.pending(), 0u);
    EXPECT_EQ(frames.takeSkipped(), 0u);
}

TEST(TpktReading, SkipsBytesThatCannotStartAFrameAndCountsThem) {
    Tpkt::Frames frames;
    // A wrong version, a reserved octet that is not 0, and a length shorter
    // than the header, then a good frame.
    feed(frames, "04 03 01 03 00 00 03 03 00 00 05 7E");
    EXPECT_EQ(next(frames), "[7E]");
    EXPECT_EQ(frames.takeSkipped(), 7u);
    EXPECT_EQ(frames.takeSkipped(), 0u);
}

TEST(TpktReading, APayloadLongerThanTheRoomIsSkippedAsItComes) {
    Tpkt::Reader reader(2);
    Tpkt::Bytes const stream = hex("03 00 00 07 41 42 43 03 00 00 06 44 45");
    std::string told;
    for (std::size_t at = 0;;) {
        Tpkt::Reader::Step const step = reader.next(stream.data() + at, stream.size() - at);
        at += step.used;
        if (step.event == Tpkt::Reader::more) break;
        static char const* const names[] = {"more",     "bad_start", "bad_reserved", "too_short",
                                            "too_long", "header",    "payload",      "frame"};
        told += std::string(names[step.event]) + " " + std::to_string(step.length) + " [" +
                text(Tpkt::Bytes(step.data, step.data + step.size)) + "] ";
    }
    EXPECT_EQ(told, "too_long 3 [] header 2 [] frame 0 [44 45] ");
    EXPECT_EQ(reader.state(), Tpkt::Reader::idle);
}

}  // namespace
