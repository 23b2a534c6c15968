#include "hart/FrameCodec.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "hart/DeviceNameTable.h"
#include "hart/Encodings.h"
#include "hart/ResponseCodes.h"
#include "hart/HartFrame.h"
#include "model/DeviceRecord.h"

namespace qt40 {

std::size_t BuildRequestFrame(const HartLink& link, std::span<std::uint8_t> out) {
    if (link.byteCount > kDataBufferSize) return 0;
    const bool shortFrame = link.command == 0;
    const std::uint8_t polling = static_cast<std::uint8_t>(link.pollingAddress) & 0x3F;
    const std::span<const std::uint8_t> address =
        shortFrame ? std::span<const std::uint8_t>(&polling, 1) : std::span(link.longAddress);
    const std::optional<HartFrame> frame =
        HartFrame::Make(FrameKind::Request, address, link.command,
                        std::span(link.dataBuffer).first(link.byteCount));
    return frame->WriteTo(out, static_cast<std::size_t>(link.preambleCount));
}

bool DecodeResponseFrame(HartLink& link, std::span<const std::uint8_t> frame) {
    link.preambleCount = kRequestPreambles;
    const ParsedFrame parsed = HartFrame::Parse(frame);
    // A count past the data buffer or the received bytes would be read out of
    // bounds; a count below 2 has no status bytes to judge the answer by.
    const std::size_t count = parsed.frame.ByteCount();
    if (!parsed.Whole() || count > kDataBufferSize || count < 2) return false;

    const std::span<const std::uint8_t> data = parsed.frame.Data();
    link.command = parsed.frame.Command();
    link.byteCount = static_cast<std::uint8_t>(count);
    link.responseCode = data[0];
    link.deviceStatus = data[1];
    std::copy(data.begin(), data.end(), link.dataBuffer.begin());

    if (!parsed.frame.CheckHolds()) return false;
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
