#pragma once
// What a custom-table panel hands to the table graph: the two series, the
// ranges the plot starts from and the four texts, already looked up in the
// language file. Built without Qt so that the series arithmetic is tested
// without a display.

#include <string>
#include <vector>

namespace qt40 {

struct TableGraphSeries {
    std::vector<double> x;
    std::vector<double> y;
    double xLower = 0.0;
    double xUpper = 0.0;
    double yLower = 0.0;
    double yUpper = 0.0;
    std::string title;
    std::string yUnit;
    std::string yName;
    std::string xName;
};

}  // namespace qt40
