// The rules of the calibration procedures that need no device: the checked
// wire-resistance result, the additional-status bits shown, and what counts
// as a loop left at a fixed current.

#include <gtest/gtest.h>

#include "procedures/FixedCurrentWatch.h"
#include "procedures/WireResistanceCalibration.h"
#include "model/AdditionalStatusBits.h"
#include "model/EntryRules.h"

namespace qt40 {
namespace {

TEST(WireResistanceRule, TheResultIsWrittenOnlyWithinZeroToTwentyOhms) {
    const struct {
        double reading, reference, present;
        std::optional<std::string> written;
    } rows[] = {
        {110.5, 100.0, 0.2, "10.700000"},      {110.5, 85.7, 0.2, std::nullopt},  // 25 ohms
        {100.0, 80.0, 0.0, "20.000000"},        // the upper end itself
        {100.0, 79.9999999, 0.0, "20.000000"},  // rounds onto the end as written
        {100.0, 79.99999, 0.0, std::nullopt},  {100.0, 100.0, 0.0, "0.000000"},
        {100.0, 100.5, 0.2, std::nullopt},      // negative
        {100.0, 100.0000001, 0.0, "0.000000"},  // a hair below 0 rounds to 0, not -0
    };
    for (const auto& row : rows) {
        EXPECT_EQ(
            WireResistanceCalibration::CalibratedText(row.reading, row.reference, row.present),
            row.written)
            << row.reading << " - " << row.reference << " + " << row.present;
    }
    // A typed value is held to the same limits, named as the prompt says them.
    const NumberEntry typed = WireResistanceCalibration::WriteEntry("1.5");
    EXPECT_EQ(typed.promptArgs,
              (MessageArgs{std::string("0"), std::string("20"), std::string("Ohms")}));
    EXPECT_TRUE(CheckNumberEntry(typed, "20").result);
    EXPECT_FALSE(CheckNumberEntry(typed, "20.0001").result);
    EXPECT_FALSE(CheckNumberEntry(typed, "-0.1").result);
}

TEST(AdditionalStatusRule, LabelledBitsOnlyInTableOrder) {
    const struct {
        std::array<std::int16_t, 6> bytes;
        std::vector<int> controls;
    } rows[] = {
        {{0, 0, 0, 0, 0, 0}, {}},
        {{0x01, 0, 0, 0, 0x10, 0}, {1870, 1890}},  // both "ADC Module Failed"
        {{0, 0, 0, 0, 0x20, 0}, {1891}},
        {{0xE0, 0xFF, 0x30, 0x4C, 0, 0xFF}, {}},  // unlabelled bits, bytes 1 and 5
        {{0x1F, 0, 0xCF, 0xB3, 0xFF, 0},
         {1870, 1871, 1872, 1873, 1874, 1875, 1876, 1877, 1878, 1879, 1880, 1881,
          1882, 1883, 1884, 1885, 1886, 1887, 1888, 1889, 1890, 1891, 1892, 1893}},
    };
    for (const auto& row : rows) {
        std::vector<int> controls;
        for (const auto& bit : SetAdditionalStatusBits(row.bytes))
            controls.push_back(bit.controlId);
        EXPECT_EQ(controls, row.controls);
    }
    EXPECT_EQ(AdditionalStatusBits().size(), 24u);
    EXPECT_STREQ(AdditionalStatusBits()[0].label, AdditionalStatusBits()[20].label);
}

TEST(FixedCurrentRule, TheLastFixedCurrentRequestDecides) {
    using W = WorkerRequest;
    const auto done = [](W request, int result) {
        return Notification::Completed(request, static_cast<CommResult>(result));
    };
    const struct {
        Notification n;
        const char* staged;
        bool set;
        int completions;
    } steps[] = {
        {done(W::FixCurrent, 200), "12.5", true, 1},
        {done(W::IdlePoll, 200), "0.0", true, 1},         // a poll changes nothing
        {done(W::LeaveFixedLevel, 208), "0.0", true, 2},  // refused: the device stays fixed
        {done(W::LeaveFixedLevel, 200), "0.0", false, 3},
        {done(W::TrimFixAtPoint, 200), "20.0", true, 4},
        {Notification::Failed(W::FixCurrent), "0.0", true, 4},  // its completion decides
        {done(W::FixCurrent, 209), "0.0", true, 5},             // given up
        {done(W::MasterReset, 200), "20.0", false, 5},          // a reset device follows the PV
        {done(W::TrimFixAfterClear, 200), "7.250", true, 6},
    };
    FixedCurrentWatch watch;
    for (const auto& step : steps) {
        watch.Observe(step.n, step.staged);
        EXPECT_EQ(watch.LevelSet(), step.set) << CodeOf(step.n.request) << " " << step.n.result;
        EXPECT_EQ(watch.Completions(), step.completions) << CodeOf(step.n.request);
    }
    EXPECT_DOUBLE_EQ(watch.Level(), 7.25);
    watch.Forget();
    EXPECT_FALSE(watch.LevelSet());
}

}  // namespace
}  // namespace qt40
