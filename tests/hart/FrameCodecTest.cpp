#include <gtest/gtest.h>

#include <vector>

#include "hart/DeviceNameTable.h"
#include "hart/FrameCodec.h"
#include "model/DeviceRecord.h"

using namespace qt40;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Build(const HartLink& link) {
    Bytes out(kMaxFrameSize + 10);
    out.resize(BuildRequestFrame(link, out));
    return out;
}

// A response frame from its delimiter, checksum appended.
Bytes Response(Bytes head) {
    std::uint8_t sum = 0;
    for (auto b : head) sum ^= b;
    head.push_back(sum);
    return head;
}

}  // namespace

TEST(FrameCodec, RequestFrames) {
    HartLink link;
    link.pollingAddress = 3;
    link.command = 0;
    link.byteCount = 0;
    EXPECT_EQ(Build(link), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x03, 0x00, 0x00, 0x01}));

    link.pollingAddress = 5;
    EXPECT_EQ(Build(link), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x05, 0x00, 0x00, 0x07}));

    // Before any identity answer the long address is all zero, still a long frame.
    link.command = 3;
    EXPECT_EQ(Build(link),
              (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x82, 0, 0, 0, 0, 0, 0x03, 0x00, 0x81}));

    link.longAddress = {0x3F, 0x28, 0x00, 0xA1, 0xB2};
    link.command = 34;
    link.byteCount = 4;
    link.dataBuffer[0] = 0x40;  // 2.0f
    link.dataBuffer[1] = 0x00;
    link.dataBuffer[2] = 0x00;
    link.dataBuffer[3] = 0x00;
    const Bytes frame = Build(link);
    EXPECT_EQ(frame, (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x82, 0x3F, 0x28, 0x00, 0xA1, 0xB2,
                            0x22, 0x04, 0x40, 0x00, 0x00, 0x00, 0xE0}));
    EXPECT_EQ(frame.size(), 5u + 1 + 5 + 1 + 1 + 4 + 1);

    // A buffer too small for the frame gets nothing.
    std::uint8_t small[10];
    EXPECT_EQ(BuildRequestFrame(link, small), 0u);
}

TEST(FrameCodec, AcceptsOnlyCleanAnswersButKeepsTheStatus) {
    struct Row {
        const char* name;
        Bytes frame;
        bool accepted;
        std::uint8_t responseCode;
    };
    const Row rows[] = {
        {"short frame ok", Response({0x06, 0x80, 0x02, 0x04, 0x00, 0x50, 0xAA, 0xBB}), true, 0},
        {"warning rejected", Response({0x86, 0x3F, 0x28, 0, 0, 1, 0x22, 0x02, 0x40, 0x00}), false,
         0x40},
        {"self test takes any code", Response({0x86, 0x3F, 0x28, 0, 0, 1, 0x29, 0x02, 0x40, 0x00}),
         true, 0x40},
        {"communication error rejected",
         Response({0x86, 0x3F, 0x28, 0, 0, 1, 0x03, 0x02, 0x88, 0x00}), false, 0x88},
    };
    for (const Row& row : rows) {
        HartLink link;
        link.preambleCount = 20;
        EXPECT_EQ(DecodeResponseFrame(link, row.frame), row.accepted) << row.name;
        EXPECT_EQ(link.responseCode, row.responseCode) << row.name;
        EXPECT_EQ(link.preambleCount, 5) << row.name;
    }

    HartLink link;
    Bytes bad = Response({0x06, 0x80, 0x02, 0x04, 0x00, 0x50, 0xAA, 0xBB});
    bad.back() ^= 1;
    EXPECT_FALSE(DecodeResponseFrame(link, bad));
    // The status and data stay as received, for the status bar.
    EXPECT_EQ(link.deviceStatus, 0x50);
    EXPECT_EQ(link.dataBuffer[2], 0xAA);
    EXPECT_EQ(link.command, 2);
}

TEST(FrameCodec, RefusesFramesThatWouldOverrunTheBuffers) {
    HartLink link;
    link.dataBuffer.fill(0x77);
    // Byte count 120: more than the 100-byte data buffer holds.
    Bytes huge{0x86, 0x3F, 0x28, 0, 0, 1, 0x03, 120};
    huge.insert(huge.end(), 120, 0x00);
    EXPECT_FALSE(DecodeResponseFrame(link, Response(huge)));
    EXPECT_EQ(link.dataBuffer[99], 0x77);
    // A count larger than the bytes actually received.
    EXPECT_FALSE(DecodeResponseFrame(link, Bytes{0x86, 0x3F, 0x28, 0, 0, 1, 0x03, 10, 0, 0}));
    // No status bytes to judge the answer by.
    EXPECT_FALSE(DecodeResponseFrame(link, Response({0x86, 0x3F, 0x28, 0, 0, 1, 0x03, 0x00})));
    EXPECT_FALSE(DecodeResponseFrame(link, Bytes{}));
    EXPECT_FALSE(DecodeResponseFrame(link, Bytes{0x86, 0x3F}));
}

TEST(FrameCodec, IdentityAnswerFillsLongAddressAndTexts) {
    HartLink link;
    const Bytes frame = Response({0x06, 0x00, 0x00, 14, 0x00, 0x00, 254, 0x3F, 0x28, 5, 5, 2, 3,
                                  (1 << 3) | 2, 0, 0x01, 0x02, 0x03});
    ASSERT_TRUE(DecodeResponseFrame(link, frame));
    DeviceRecord record;
    DecodeIdentity(link, record);
    EXPECT_EQ(link.longAddress, (std::array<std::uint8_t, 5>{0x3F, 0x28, 0x01, 0x02, 0x03}));
    EXPECT_EQ(record.manufacturerName, "Orvale CO");
    EXPECT_EQ(record.deviceTypeName, "QT40");
    EXPECT_EQ(record.preamblesText, "5");
    EXPECT_EQ(record.universalRevText, "5");
    EXPECT_EQ(record.transmitterRevText, "2");
    EXPECT_EQ(record.firmwareRevText, "3");
    EXPECT_EQ(record.hardwareRevText, "1.2");
    EXPECT_EQ(record.deviceIdText, "66051");
}

TEST(DeviceNameTable, KnownAndUnknownDevices) {
    EXPECT_EQ(DeviceNameTable::Lookup(0x3F, 0x0A).device, "QT10");
    EXPECT_EQ(DeviceNameTable::Lookup(0x3F, 0x1E).device, "QT30");
    EXPECT_EQ(DeviceNameTable::Lookup(0x3F, 0x2E).device, "QT302");
    const DeviceNames otherModel = DeviceNameTable::Lookup(0x3F, 0x99);
    EXPECT_EQ(otherModel.manufacturer, "Orvale CO");
    EXPECT_EQ(otherModel.device, "");
    EXPECT_EQ(DeviceNameTable::Lookup(0x3E, 0x03).manufacturer, "Kanbel Electric");
    EXPECT_EQ(DeviceNameTable::Lookup(0x3E, 0x03).device, "KX3");
    EXPECT_EQ(DeviceNameTable::Lookup(0x3E, 0x28).device, "");
    EXPECT_EQ(DeviceNameTable::Lookup(0x11, 0x28).manufacturer, "");
}
