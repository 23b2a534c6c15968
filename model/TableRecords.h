#pragma once
// The custom linearization tables as the device holds them (images, filled by
// the table read commands) and as the panels edit and write them (text forms).

#include <array>
#include <cstdint>
#include <string>

namespace qt40 {

inline constexpr int kCustomTableCapacity = 250;
inline constexpr int kSpecialCurveCapacity = 125;
// Index that marks the end of a table transfer in the point commands.
inline constexpr int kEndOfTableIndex = 9999;

// Which table's points an image's values are. The custom TC and RTD tables
// share one image, and a header read alone leaves the points as they were:
// only points read from the device for a table are that table's.
enum class TablePoints : std::int8_t { None, CustomTc, CustomRtd, SpecialCurve };

struct CustomTableImage {
    std::int16_t status = 0;      // 0 = configured on the device
    std::int16_t headerWord = 0;  // kept as read, never shown or sent
    std::int32_t size = 0;
    double step = 0.0;     // degC
    double minimum = 0.0;  // degC
    std::array<double, kCustomTableCapacity> values{};  // mV or ohms
    TablePoints points = TablePoints::None;
};

struct CustomTableEdit {
    std::int16_t status = 0;
    std::int16_t headerWord = 0;
    std::int32_t size = 0;
    std::string stepText;     // at most 99 characters
    std::string minimumText;  // at most 99 characters
    std::array<std::string, kCustomTableCapacity> valueTexts;  // at most 499 characters each
};

struct SpecialCurveImage {
    std::int16_t status = 0;
    std::int16_t headerWord = 0;
    std::int32_t size = 0;
    std::array<double, kSpecialCurveCapacity> x{};  // percent
    std::array<double, kSpecialCurveCapacity> y{};  // percent
    TablePoints points = TablePoints::None;
};

struct SpecialCurveEdit {
    std::int32_t size = 0;
    std::array<std::string, kSpecialCurveCapacity> xTexts;  // at most 499 characters each
    std::array<std::string, kSpecialCurveCapacity> yTexts;
};

inline constexpr std::size_t kTableStepTextCapacity = 99;
inline constexpr std::size_t kTableValueTextCapacity = 499;

}  // namespace qt40
