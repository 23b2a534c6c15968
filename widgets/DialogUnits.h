#pragma once
// The window layout is specified in dialog units of an 8-point dialog font;
// these turn them into pixels the way that font measures (4 horizontal and
// 8 vertical units to the average character cell).

namespace qt40 {

inline constexpr int DluX(int units) { return units * 3 / 2; }
inline constexpr int DluY(int units) { return units * 13 / 8; }

}  // namespace qt40
