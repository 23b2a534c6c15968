#pragma once
// The two series, the ranges and the four texts a table panel hands to the
// table graph, built from the panel's edit copy.

#include <functional>
#include <string>

#include "model/TableRecords.h"
#include "tables/TableGraphSeries.h"
#include "tables/TableKind.h"

namespace qt40 {

// Looks a "UIMsg" text up by its key.
using TextLookup = std::function<std::string(const std::string& key)>;

// X: T(i) = minimum + i * step from the minimum and step texts, over
// minimum … minimum + (size - 1) * step (-1 … 1 when both read as 0);
// Y: the value texts over their smallest … largest value.
TableGraphSeries CustomTableSeries(const CustomTableEdit& edit, TableKind kind,
                                   const TextLookup& text);
// X and Y texts, each over its smallest … largest value.
TableGraphSeries SpecialCurveSeries(const SpecialCurveEdit& edit, const TextLookup& text);

}  // namespace qt40
