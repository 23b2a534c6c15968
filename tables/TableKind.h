#pragma once
// The three kinds of custom table the device holds.

namespace qt40 {

enum class TableKind { CustomTc, CustomRtd, SpecialCurve };

}  // namespace qt40
