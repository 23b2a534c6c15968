#include "hart/FrameCodec.h"

#include <cstdio>

#include "hart/DeviceNameTable.h"
#include "hart/Encodings.h"
#include "hart/ResponseCodes.h"
#include "model/DeviceRecord.h"

namespace qt40 {

std::size_t BuildRequestFrame(const HartLink& link, std::span<std::uint8_t> out) {
    const bool shortFrame = link.command == 0;
    const std::size_t addressSize = shortFrame ? 1 : 5;
    const std::size_t preambles = static_cast<std::size_t>(link.preambleCount);
    const std::size_t length = preambles + 1 + addressSize + 1 + 1 + link.byteCount + 1;
    if (out.size() < length || link.byteCount > kDataBufferSize) return 0;

    std::size_t i = 0;
    for (; i < preambles; ++i) out[i] = 0xFF;
    const std::size_t start = i;
    out[i++] = shortFrame ? 0x02 : 0x82;
    if (shortFrame) {
        out[i++] = static_cast<std::uint8_t>(link.pollingAddress) & 0x3F;
    } else {
        for (std::uint8_t b : link.longAddress) out[i++] = b;
    }
    out[i++] = link.command;
    out[i++] = link.byteCount;
    for (std::size_t k = 0; k < link.byteCount; ++k) out[i++] = link.dataBuffer[k];
    std::uint8_t checksum = 0;
    for (std::size_t k = start; k < i; ++k) checksum ^= out[k];
    out[i++] = checksum;
    return i;
}

bool DecodeResponseFrame(HartLink& link, std::span<const std::uint8_t> frame) {
    link.preambleCount = kRequestPreambles;
    if (frame.empty()) return false;
    const std::size_t commandIndex = (frame[0] & 0x80) ? 6 : 2;
    if (frame.size() < commandIndex + 2) return false;
    const std::size_t count = frame[commandIndex + 1];
    const std::size_t dataStart = commandIndex + 2;
    // A count past the data buffer or the received bytes would be read out of
    // bounds; a count below 2 has no status bytes to judge the answer by.
    if (count > kDataBufferSize || count < 2 || frame.size() < dataStart + count + 1) return false;

    link.command = frame[commandIndex];
    link.byteCount = static_cast<std::uint8_t>(count);
    link.responseCode = frame[dataStart];
    link.deviceStatus = frame[dataStart + 1];
    for (std::size_t k = 0; k < count; ++k) link.dataBuffer[k] = frame[dataStart + k];

    std::uint8_t checksum = 0;
    for (std::size_t k = 0; k < dataStart + count; ++k) checksum ^= frame[k];
    if (checksum != frame[dataStart + count]) return false;
    // Busy and delayed answers carry no result, whatever the command takes otherwise.
    if (AsksForRepeat(link.responseCode) || IsDelayedResponseDead(link.responseCode)) return false;
    return link.command == 41 || link.responseCode == 0;
}

void DecodeIdentity(HartLink& link, DeviceRecord& record) {
    const std::uint8_t* p = link.dataBuffer.data() + 2;
    link.longAddress = {p[1], p[2], p[9], p[10], p[11]};
    const DeviceNames names = DeviceNameTable::Lookup(p[1], p[2]);
    record.manufacturerName = names.manufacturer;
    record.deviceTypeName = names.device;
    char text[32];
    std::snprintf(text, sizeof text, "%d", p[3]);
    record.preamblesText = text;
    std::snprintf(text, sizeof text, "%d", p[4]);
    record.universalRevText = text;
    std::snprintf(text, sizeof text, "%d", p[5]);
    record.transmitterRevText = text;
    std::snprintf(text, sizeof text, "%d", p[6]);
    record.firmwareRevText = text;
    record.hardwareRevText = HardwareRevisionText(p[7]);
    std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(GetU24(p + 9)));
    record.deviceIdText = text;
}

std::string HardwareRevisionText(std::uint8_t byte) {
    char text[32];
    std::snprintf(text, sizeof text, "%1.1lf", (byte >> 3) + (byte & 7) * 0.1);
    return text;
}

}  // namespace qt40
