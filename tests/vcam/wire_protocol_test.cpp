#include "vcam/wire_protocol.h"

#include <gtest/gtest.h>

namespace tavlin::vcam::wire {
namespace {

RequestHeader FrameRead(uint32_t length) {
    return {0x222051, kFlagHasInput | kFlagHasOutput, 4, length, 0};
}

TEST(WireProtocol, HeadersSurviveTheRoundTrip) {
    const RequestHeader request{0x22204E, kFlagHasInput | kFlagHasOutput, 4, 64, 64};
    const auto decoded = DecodeRequest(EncodeRequest(request));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->code, request.code);
    EXPECT_EQ(decoded->flags, request.flags);
    EXPECT_EQ(decoded->inLength, 4u);
    EXPECT_EQ(decoded->outLength, 64u);
    EXPECT_EQ(decoded->directLength, 64u);

    const auto reply = DecodeReply(EncodeReply({true, 1000, 1000}), FrameRead(2000));
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->success);
    EXPECT_EQ(reply->returned, 1000u);
    EXPECT_EQ(reply->dataLength, 1000u);

    const auto hello = DecodeHello(EncodeHello({kVersion, true}));
    ASSERT_TRUE(hello);
    EXPECT_TRUE(hello->opened);
    EXPECT_FALSE(DecodeHello(EncodeHello({kVersion, false}))->opened);
}

TEST(WireProtocol, RequestsBeyondTheLimitsOrOutOfShapeAreRefused) {
    auto refused = [](RequestHeader h) { return !DecodeRequest(EncodeRequest(h)).has_value(); };
    EXPECT_TRUE(refused({1, kFlagHasInput, kMaxInput + 1, 0, 0}));
    EXPECT_TRUE(refused({1, kFlagHasOutput, 0, kMaxOutput + 1, 0}));
    EXPECT_TRUE(refused({1, kFlagHasOutput, 0, 0xFFFFFFFFu, 0}));
    EXPECT_TRUE(refused({1, kFlagHasOutput, 0, 64, 65}));  // direct beyond the buffer
    EXPECT_TRUE(refused({1, 0, 0, 64, 64}));               // direct without a buffer
    EXPECT_TRUE(refused({1, kFlagHasOutput, 0, kMaxOutput, kMaxDirect + 1}));
    EXPECT_TRUE(refused({1, 4, 0, 0, 0}));  // unknown flag
    EXPECT_FALSE(refused({1, kFlagHasOutput, kMaxInput, kMaxOutput, kMaxDirect}));

    auto bytes = EncodeRequest(FrameRead(64));
    bytes[0] ^= 1;
    EXPECT_FALSE(DecodeRequest(bytes));
}

TEST(WireProtocol, RepliesMustFitTheRequestTheyAnswer) {
    const RequestHeader read = FrameRead(100);
    EXPECT_FALSE(DecodeReply(EncodeReply({true, 101, 0}), read));  // more than asked
    EXPECT_FALSE(DecodeReply(EncodeReply({true, 100, 101}), read));
    EXPECT_FALSE(DecodeReply(EncodeReply({false, 10, 0}), read));  // failure carries nothing
    EXPECT_FALSE(DecodeReply(EncodeReply({false, 0, 10}), read));
    // Without an output buffer no data may come back, whatever the length said.
    const RequestHeader noBuffer{0x2220A0, kFlagHasInput, 44, 100, 0};
    EXPECT_FALSE(DecodeReply(EncodeReply({true, 0, 1}), noBuffer));
    EXPECT_TRUE(DecodeReply(EncodeReply({true, 0, 0}), noBuffer));

    auto bytes = EncodeReply({true, 1, 1});
    bytes[4] = 2;  // success is 0 or 1
    EXPECT_FALSE(DecodeReply(bytes, read));
    auto hello = EncodeHello({kVersion, true});
    hello[8] = 7;
    EXPECT_FALSE(DecodeHello(hello));
}

}  // namespace
}  // namespace tavlin::vcam::wire
