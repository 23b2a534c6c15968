#include "hart/CommandLayout.h"

#include <algorithm>
#include <limits>

#include "hart/Encodings.h"

namespace qt40 {

std::size_t FieldSize(const FieldLayout& field) {
    switch (field.type) {
        case FieldType::U8:
            return 1;
        case FieldType::U16:
        case FieldType::S16:
            return 2;
        case FieldType::U24:
        case FieldType::Date:
            return 3;
        case FieldType::F32:
            return 4;
        case FieldType::Packed:
            return field.chars * 3u / 4u;
        case FieldType::Latin1:
            return field.chars;
    }
    return 0;
}

std::size_t FieldsEnd(std::span<const FieldLayout> fields) {
    std::size_t end = 0;
    for (const FieldLayout& f : fields) end = std::max(end, f.offset + FieldSize(f));
    return end;
}

WireValue ReadField(const FieldLayout& field, const std::uint8_t* bytes) {
    const std::uint8_t* p = bytes + field.offset;
    switch (field.type) {
        case FieldType::U8:
            return WireValue::Integer(p[0]);
        case FieldType::U16:
            return WireValue::Integer(GetU16(p));
        case FieldType::S16:
            return WireValue::Integer(GetS16(p));
        case FieldType::U24:
            return WireValue::Integer(GetU24(p));
        case FieldType::F32:
            return WireValue::Number(GetFloat(p));
        case FieldType::Packed:
            return WireValue::Text(UnpackAscii(p, field.chars));
        case FieldType::Date:
            return WireValue::Text(DateText(p[0], p[1], p[2]));
        case FieldType::Latin1:
            return WireValue::Text(Latin1Text(p, field.chars));
    }
    return {};
}

namespace {

long long IntegerOf(const WireValue& v) {
    switch (v.kind) {
        case WireValue::Kind::Integer:
            return v.integer;
        case WireValue::Kind::Number:
            return static_cast<long long>(v.number);
        case WireValue::Kind::Text:
            return IntegerFromText(v.text);
        case WireValue::Kind::None:
            break;
    }
    return 0;
}

float Narrowed(double value) {
    if (value > std::numeric_limits<float>::max()) return std::numeric_limits<float>::infinity();
    if (value < -std::numeric_limits<float>::max()) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

}  // namespace

void WriteField(const FieldLayout& field, const WireValue& value, std::uint8_t* bytes) {
    if (value.kind == WireValue::Kind::None) return;
    std::uint8_t* p = bytes + field.offset;
    switch (field.type) {
        case FieldType::U8:
            p[0] = static_cast<std::uint8_t>(IntegerOf(value));
            break;
        case FieldType::U16:
        case FieldType::S16:
            PutU16(p, static_cast<std::uint16_t>(IntegerOf(value)));
            break;
        case FieldType::U24:
            PutU24(p, static_cast<std::uint32_t>(IntegerOf(value)));
            break;
        case FieldType::F32:
            if (value.kind == WireValue::Kind::Text) {
                PutFloatFromText(p, value.text);
            } else {
                PutFloat(p, Narrowed(value.number));
            }
            break;
        case FieldType::Packed:
            PackAscii(value.text, p, field.chars);
            break;
        case FieldType::Date:
            PutDateFromText(p, value.text);
            break;
        case FieldType::Latin1:
            PutLatin1(p, value.text, field.chars);
            break;
    }
}

}  // namespace qt40
