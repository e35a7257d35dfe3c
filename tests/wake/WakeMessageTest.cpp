#include "wake/WakeMessage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vellomarin {
namespace {

// 2026-12-09T07:00:00Z, 1'796'799'600'000 ms: 0x1A2'599A'1580, least significant first.
const std::vector<unsigned char> kSevenAm = {'A', 0x80, 0x15, 0x9A, 0x59, 0xA2, 0x01, 0, 0};
const std::vector<unsigned char> kNone = {'D', 0, 0, 0, 0, 0, 0, 0, 0};

TEST(WakeMessageTest, WhatTheWindowSendsIsWhatTheHelperReads) {
    const WakeMessage sent = EncodeWakeRequest(1'796'799'600'000);
    EXPECT_EQ(std::vector<unsigned char>(sent.begin(), sent.end()), kSevenAm);
    const WakeRequest read = DecodeWakeRequest(kSevenAm.data(), kSevenAm.size());
    EXPECT_EQ(read.kind, WakeRequest::Arm);
    EXPECT_EQ(read.atMs, 1'796'799'600'000);
    for (const auto none : {std::optional<int64_t>(), std::optional<int64_t>(-1),
                            std::optional<int64_t>(kLatestWakeMs + 1)}) {
        const WakeMessage disarm = EncodeWakeRequest(none);
        EXPECT_EQ(std::vector<unsigned char>(disarm.begin(), disarm.end()), kNone);
    }
    EXPECT_EQ(DecodeWakeRequest(kNone.data(), kNone.size()).kind, WakeRequest::Disarm);
}

TEST(WakeMessageTest, AnythingElseIsIgnored) {
    auto with = [](std::vector<unsigned char> bytes, std::size_t at, unsigned char value) {
        bytes[at] = value;
        return bytes;
    };
    const std::vector<std::pair<std::string, std::vector<unsigned char>>> rows = {
        {"empty", {}},
        {"short", {kSevenAm.begin(), kSevenAm.end() - 1}},
        {"long",
         [] {
             auto b = kSevenAm;
             b.push_back(0);
             return b;
         }()},
        {"unknown kind", with(kSevenAm, 0, 'a')},
        {"negative instant", with(kSevenAm, 8, 0x80)},
        {"past year 9999", with(kSevenAm, 7, 0x01)},
        {"disarm with an instant", with(kNone, 1, 1)},
    };
    for (const auto& [name, bytes] : rows)
        EXPECT_EQ(DecodeWakeRequest(bytes.data(), bytes.size()).kind, WakeRequest::Ignore) << name;
}

} // namespace
} // namespace vellomarin
