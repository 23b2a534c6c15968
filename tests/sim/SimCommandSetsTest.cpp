// The simulator's command sets: each command in exactly one, and the rules
// they share.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "sim/SimCommandSupport.h"
#include "sim/SimDevice.h"
#include "sim/SimSensorCommands.h"
#include "sim/SimTableCommands.h"
#include "sim/SimUniversalCommands.h"

namespace qt40::sim {
namespace {

enum class Set { None, Universal, Sensor, Table };

// Which set claims `command` on a fresh device; a command two sets claim fails.
Set OwnerOf(std::uint8_t command) {
    std::vector<Set> owners;
    {
        SimDevice device;
        if (SimUniversalCommands(device).Execute(command, {})) owners.push_back(Set::Universal);
    }
    {
        SimDevice device;
        if (SimSensorCommands(device).Execute(command, {})) owners.push_back(Set::Sensor);
    }
    {
        SimDevice device;
        if (SimTableCommands(device).Execute(command, {})) owners.push_back(Set::Table);
    }
    EXPECT_LE(owners.size(), 1u) << "command " << int(command);
    return owners.empty() ? Set::None : owners.front();
}

TEST(SimCommandSets, EachCommandTheDeviceKnowsHasOneSetAndTheRestAreNotImplemented) {
    struct Row {
        Set set;
        std::set<int> commands;
    };
    const Row rows[] = {
        {Set::Universal, {0,  2,  3,  6,  12, 13, 14, 15, 16, 17, 18, 19,
                          34, 35, 38, 40, 41, 42, 44, 45, 46, 47, 48, 49}},
        {Set::Sensor, {130, 131, 132, 133, 134, 135, 136, 137, 138, 139, 140, 141, 142, 143,
                       144, 145, 146, 147, 148, 149, 150, 151, 152, 153, 154, 155, 156}},
        {Set::Table, {186, 187, 188, 189, 190, 191, 192, 193, 194, 195, 196, 197}},
    };
    for (int command = 0; command < 256; ++command) {
        SCOPED_TRACE(command);
        Set expected = Set::None;
        for (const Row& row : rows) {
            if (row.commands.count(command)) expected = row.set;
        }
        EXPECT_EQ(OwnerOf(static_cast<std::uint8_t>(command)), expected);
    }
}

TEST(SimCommandSets, ConvertsTemperaturesAndLeavesOtherUnitsAlone) {
    struct Row {
        double value;
        int from, to;
        double expected, expectedDelta;
    };
    const Row rows[] = {
        {100.0, kDegC, kDegF, 212.0, 180.0}, {212.0, kDegF, kDegC, 100.0, 117.777778},
        {0.0, kDegC, kKelvin, 273.15, 0.0},  {491.67, kDegR, kDegC, 0.0, 273.15},
        {32.0, kDegF, kDegR, 491.67, 32.0},  {10.0, kDegC, kMilliVolt, 10.0, 10.0},
        {10.0, kOhm, kDegF, 10.0, 10.0},     {-40.0, kDegF, kDegF, -40.0, -40.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.value << " " << row.from << " to " << row.to);
        EXPECT_NEAR(Convert(row.value, row.from, row.to), row.expected, 1e-4);
        EXPECT_NEAR(ConvertDelta(row.value, row.from, row.to), row.expectedDelta, 1e-4);
    }
}

TEST(SimCommandSets, ARangeIsJudgedAgainstTheSensorLimitsAndTheMinimumSpan) {
    SimState state;  // a Pt100: -200 to 850 degC, minimum span 10
    struct Row {
        int measurementType;
        double upper, lower;
        std::uint8_t code;
    };
    const Row rows[] = {
        {0, 100.0, 0.0, kRcSuccess},
        {0, 850.0, -200.0, kRcSuccess},
        {0, 900.0, 0.0, kRcUpperRangeTooHigh},
        {0, -300.0, 0.0, kRcUpperRangeTooLow},
        {0, 100.0, 900.0, kRcLowerRangeTooHigh},
        {0, 100.0, -300.0, kRcLowerRangeTooLow},
        {0, 900.0, -300.0, kRcBothRangesOutOfLimits},
        {0, 100.0, 95.0, kRcSpanTooSmall},
        {0, 100.0, 90.0, kRcSuccess},
        {0, 90.0, 100.0, kRcSuccess},  // a reversed range of a wide enough span
        // A difference measurement reaches down to minus the upper limit.
        {1, 100.0, -800.0, kRcSuccess},
        {1, 100.0, -900.0, kRcLowerRangeTooLow},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.upper << " / " << row.lower);
        state.measurementType = static_cast<std::uint8_t>(row.measurementType);
        EXPECT_EQ(CheckRange(state, row.upper, row.lower), row.code);
    }
}

}  // namespace
}  // namespace qt40::sim
