// The report's own reads against the simulated transmitter on an in-memory
// line: a read the device refuses leaves its own rows empty with the reason,
// and every other group is still read and shown.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "procedures/ConnectionController.h"
#include "link/DataLink.h"
#include "link/NotificationQueue.h"
#include "model/ScriptedPrompts.h"
#include "procedures/ReportReading.h"
#include "sim/SimLoopbackPort.h"
#include "tests/support/LinkRig.h"

namespace qt40 {
namespace {

struct ReportFixture : ::testing::Test, test::LinkRigOf<ScriptedPrompts> {
    ReportReading reading{worker, host};

    ReportFixture() { controller.SetReconnectWaitMs(0); }
    ~ReportFixture() override { worker.StopWorker(); }

    bool Pump(const std::function<bool()>& done, std::optional<ProcedureStep>* last = nullptr) {
        SteadyClock real;
        const auto end = real.NowMs() + 10000;
        while (!done()) {
            if (real.NowMs() > end) return false;
            const auto next = queue.WaitNext(20);
            if (!next || next->notification.run != worker.RunNumber()) continue;
            const ProcedureStep step =
                last ? reading.HandleNotification(next->notification) : ProcedureStep::NotMine;
            if (step != ProcedureStep::NotMine && last) *last = step;
            if (step == ProcedureStep::NotMine || step == ProcedureStep::ConnectionLost) {
                controller.HandleNotification(next->notification);
            }
        }
        return true;
    }

    // Connects, runs the report's reads and builds the report.
    RecordDocument Report() {
        EXPECT_EQ(controller.ConnectDevice(), kCommSuccess);
        EXPECT_TRUE(Pump([&] { return view.established; }));
        std::optional<ProcedureStep> last;
        EXPECT_EQ(reading.Start(), kCommSuccess);
        EXPECT_TRUE(Pump([&] { return last && *last != ProcedureStep::Continues; }, &last));
        EXPECT_EQ(last, ProcedureStep::Finished);
        return ConfigurationReport(ReportInputFrom(worker, reading), RecordTexts{});
    }
};

const std::vector<RecordCell>* FindRow(const RecordDocument& doc, const std::string& caption) {
    for (const RecordTable& table : doc.tables) {
        for (const auto& row : table.rows) {
            if (row[0].text == caption) return &row;
        }
    }
    return nullptr;
}

TEST_F(ReportFixture, ARefusedStatusReadStillReadsBothSensorsTrims) {
    port.WithDevice([](sim::SimDevice& d) {
        d.State().measurementType = 1;  // two sensors
        d.State().sensorTrim[1].zeroValue = 0.75f;
        d.Faults().responseCodeFor[48] = 64;  // not implemented
    });
    const RecordDocument doc = Report();
    ASSERT_EQ(reading.Trims().size(), 2u);
    const auto* gain2 = FindRow(doc, "Sensor 2 Zero Value");
    ASSERT_NE(gain2, nullptr);
    EXPECT_EQ((*gain2)[1].text, "0.7500");
    const auto* status = FindRow(doc, "Status Bytes");
    ASSERT_NE(status, nullptr);
    EXPECT_EQ((*status)[1].text, "");  // nothing invented
    ASSERT_EQ(status->size(), 4u);
    EXPECT_EQ((*status)[3].text.rfind("Not read: refused (response code 64", 0), 0u)
        << (*status)[3].text;
    // The note column is the status table's own; other tables keep three.
    for (const RecordTable& table : doc.tables) {
        const bool noted = std::any_of(table.rows.begin(), table.rows.end(), [](const auto& row) {
            return !row[0].text.empty() && row.size() == 4 && !row[3].text.empty();
        });
        EXPECT_EQ(table.columns.size(), noted ? 4u : 3u) << table.caption;
        for (const auto& row : table.rows) EXPECT_EQ(row.size(), table.columns.size());
    }
}

TEST_F(ReportFixture, RefusedTrimReadsKeepTheirRowsEmptyWithTheReason) {
    port.WithDevice([](sim::SimDevice& d) {
        d.State().measurementType = 1;
        d.Faults().responseCodeFor[152] = 64;
    });
    const RecordDocument doc = Report();
    EXPECT_NE(FindRow(doc, "Status Bytes"), nullptr);
    EXPECT_NE((*FindRow(doc, "Status Bytes"))[1].text, "");  // read before the refusals
    for (const char* caption : {"Sensor 1 Zero Point", "Sensor 1 Zero Value", "Sensor 1 Gain",
                                "Sensor 2 Zero Point", "Sensor 2 Zero Value", "Sensor 2 Gain"}) {
        const auto* row = FindRow(doc, caption);
        ASSERT_NE(row, nullptr) << caption;
        EXPECT_EQ((*row)[1].text, "") << caption;
        EXPECT_EQ((*row)[2].text, "") << caption;
        ASSERT_EQ(row->size(), 4u) << caption;
        EXPECT_NE((*row)[3].text.find("refused"), std::string::npos) << caption;
    }
}

// A report made from the upload alone still has the trim rows, empty.
TEST(ConfigurationReportRows, TrimRowsAreNeverLeftOut) {
    ReportInput in;
    in.answered.set(130);
    in.record.measurementType = 1;
    const RecordDocument doc = ConfigurationReport(in, RecordTexts{});
    for (const char* caption : {"Sensor 1 Zero Point", "Sensor 2 Gain"}) {
        const auto* row = FindRow(doc, caption);
        ASSERT_NE(row, nullptr) << caption;
        EXPECT_EQ((*row)[1].text, "") << caption;
    }
}

}  // namespace
}  // namespace qt40
