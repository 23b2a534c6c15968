#pragma once
// What a command carries, field by field: where each value sits in the request
// or the answer, how it is encoded, what it is called and in which unit, and
// where the program takes it from or keeps it. The command set encodes and
// decodes through these descriptions; the traffic decoder names the bytes of
// a frame by the same ones.

#include <cstdint>
#include <span>
#include <string>

namespace qt40 {

struct DeviceState;

enum class FieldType : std::uint8_t {
    U8,
    U16,
    S16,
    U24,
    F32,
    Packed,  // HART packed ASCII, `chars` characters in 3/4 as many bytes
    Date,    // day, month, year - 1900
    Latin1,  // `chars` bytes of Latin-1 text, padded at the end with NULs or blanks
};

// How the number of a field is named beyond itself.
enum class FieldCodes : std::uint8_t {
    None,
    Unit,  // the unit table
    SensorType,
    MeasurementType,
    Wires,
    Burnout,
    TransferFunction,
    CjcMode,
    AoAlarmMode,
    SensorNumber,
    TrimAction,
    Manufacturer,      // with the device type field of the same list
    DeviceType,        // with the manufacturer field of the same list
    HardwareRevision,  // bits 7 … 3 and 2 … 0 as "%1.1lf"
    AdditionalStatus,  // the labelled bits of answer byte `offset`
    MasterMode,        // an I/O system's: 0 secondary, 1 primary master
};

// A value read from or written to the wire. Integers fill `integer` and
// `number` alike; a text (packed ASCII, a date, or a number as staged in the
// write buffer) fills `text`.
struct WireValue {
    enum class Kind : std::uint8_t { None, Integer, Number, Text };
    Kind kind = Kind::None;
    long long integer = 0;
    double number = 0.0;
    std::string text;

    static WireValue Integer(long long v) { return {Kind::Integer, v, static_cast<double>(v), {}}; }
    static WireValue Number(double v) { return {Kind::Number, 0, v, {}}; }
    static WireValue Text(std::string v) { return {Kind::Text, 0, 0.0, std::move(v)}; }
};

struct FieldLayout {
    const char* name = "";
    std::uint8_t offset = 0;  // request: data byte; answer: byte after the two status bytes
    FieldType type = FieldType::U8;
    std::uint8_t chars = 0;      // Packed only
    const char* unit = nullptr;  // a fixed unit ("mA", "s")
    std::int8_t unitField = -1;  // else: the field of the same list holding its unit code
    FieldCodes codes = FieldCodes::None;
    // Request fields: the value to send (Kind::None leaves the bytes at zero).
    WireValue (*load)(const DeviceState&) = nullptr;
    // Answer fields: where the program keeps the value.
    void (*store)(DeviceState&, const WireValue&) = nullptr;
};

struct CommandLayout {
    const char* name = "";
    std::span<const FieldLayout> request;
    std::span<const FieldLayout> answer;
};

// Bytes the field takes on the wire.
std::size_t FieldSize(const FieldLayout& field);
// One past the last byte the fields describe (0 without fields).
std::size_t FieldsEnd(std::span<const FieldLayout> fields);
// The field's value from the bytes of its list (request data, or answer data
// after the status bytes); `bytes` must hold FieldsEnd of the list.
WireValue ReadField(const FieldLayout& field, const std::uint8_t* bytes);
// Writes the value at the field's place: numbers narrowed to single precision
// (beyond its range: infinite), texts converted as the encoders convert them.
void WriteField(const FieldLayout& field, const WireValue& value, std::uint8_t* bytes);

}  // namespace qt40
