// The table transfer and the calibrated-RTD write against the simulated
// transmitter on an in-memory line: what goes over the wire, in which order,
// and what the device holds afterwards. The device's storing time is waited
// on a virtual clock, so it is checked to the millisecond and costs nothing.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/CommWorker.h"
#include "procedures/ConnectionController.h"
#include "link/NotificationQueue.h"
#include "model/EntryRules.h"
#include "model/ScriptedPrompts.h"
#include "sim/SimLoopbackPort.h"
#include "procedures/CalibratedRtdWrite.h"
#include "tests/support/LinkRig.h"
#include "tables/TableSeries.h"
#include "procedures/TableTransfer.h"

using namespace qt40;

namespace {

class RecordingTableView final : public TableTransferView, public CalibratedRtdView {
public:
    explicit RecordingTableView(CommWorker& worker) : worker_(&worker) {}
    CommResult Submit(WorkerRequest code, bool polling) override {
        return worker_->SubmitRequest(code, polling);
    }
    void ShowProgress(const std::string& key) override { events.push_back("show " + key); }
    void HideProgress() override { events.push_back("hide"); }
    void EnableRead(bool on) override { readEnabled = on; }
    void EnableWrite(bool on) override { writeEnabled = on; }
    void TableArrived(bool complete) override { events.push_back(complete ? "table" : "header"); }
    void ConnectionLost() override { events.push_back("lost"); }
    void SequenceEnded() override { ++ended; }
    void EnableCalibratedWrite(bool on) override { calibratedEnabled = on; }

    std::vector<std::string> events;
    bool readEnabled = true;
    bool writeEnabled = true;
    bool calibratedEnabled = true;
    int ended = 0;

private:
    CommWorker* worker_;
};

// One request of a table transfer as the device received it.
struct Heard {
    int command = 0;
    int index = -1;  // point commands only
    bool operator==(const Heard&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Heard& h) {
    return out << "{" << h.command << ", " << h.index << "}";
}

NumberResult Typed(const std::string& text) {
    NumberEntry open;
    open.minimum = -1e9;
    open.maximum = 1e9;
    open.zeroAllowed = true;
    return *CheckNumberEntry(open, text).result;
}

struct TransferFixture : ::testing::Test, test::LinkRigOf<ScriptedPrompts> {
    VirtualClock waitClock;  // the device's storing time
    test::RecordingView& connection = LinkRigOf::view;
    RecordingTableView view{worker};
    std::unique_ptr<TableTransfer> transfer;
    std::unique_ptr<CalibratedRtdWrite> calibrated;
    std::size_t firstFrame = 0;

    ~TransferFixture() override { worker.StopWorker(); }

    void Make(TableKind kind) {
        calibrated.reset();
        transfer = std::make_unique<TableTransfer>(kind, worker, prompts, view, waitClock);
        calibrated =
            std::make_unique<CalibratedRtdWrite>(worker, prompts, view, waitClock, *transfer);
    }

    void Connect(TableKind kind) {
        Make(kind);
        controller.SetReconnectWaitMs(0);
        // Each case waits for its own connection, not the one before.
        connection.established = false;
        ASSERT_EQ(controller.ConnectDevice(), 200);
        ASSERT_TRUE(Pump([&] { return connection.established; }));
        firstFrame = port.Written().size();
    }

    // Notifications go to the transfer first, as a panel hands them on.
    bool Pump(const std::function<bool()>& done) {
        SteadyClock real;
        const auto end = real.NowMs() + 10000;
        while (!done()) {
            if (real.NowMs() > end) return false;
            const auto next = queue.WaitNext(20);
            if (!next) continue;
            const Notification& n = next->notification;
            // What the worker of an earlier case left queued, as the window drops it.
            if (n.run != worker.RunNumber()) continue;
            if (transfer && transfer->HandleNotification(n)) continue;
            if (calibrated && calibrated->HandleNotification(n)) continue;
            controller.HandleNotification(n);
        }
        return true;
    }

    bool RunToEnd() {
        return Pump([&] { return view.ended > 0 && !transfer->Busy() && !calibrated->Busy(); });
    }

    // The table and coefficient requests written since connecting.
    std::vector<Heard> TableRequests() {
        std::vector<Heard> heard;
        const auto frames = port.Written();
        for (std::size_t f = firstFrame; f < frames.size(); ++f) {
            const auto& frame = frames[f];
            std::size_t i = 0;
            while (frame[i] == 0xFF) ++i;
            const std::size_t at = i + ((frame[i] & 0x80) ? 6 : 2);
            const int command = frame[at];
            if (command != 144 && (command < 186 || command > 197)) continue;
            Heard h{command, -1};
            const bool point = command == 188 || command == 189 || command == 192 ||
                               command == 193 || command == 196 || command == 197;
            if (point) h.index = (frame[at + 2] << 8) | frame[at + 3];
            heard.push_back(h);
        }
        return heard;
    }

    template <class F>
    decltype(auto) Device(F&& f) {
        return port.WithDevice([&](sim::SimDevice& d) -> decltype(auto) { return f(d.State()); });
    }
};

CustomTableEdit TwoPoints(const char* first, const char* second) {
    CustomTableEdit edit;
    edit.size = 2;
    edit.minimumText = "-20";
    edit.stepText = "10";
    edit.valueTexts[0] = first;
    edit.valueTexts[1] = second;
    return edit;
}

SpecialCurveEdit TwoCurvePoints() {
    SpecialCurveEdit edit;
    edit.size = 2;
    edit.xTexts[0] = "0";
    edit.yTexts[0] = "10";
    edit.xTexts[1] = "100";
    edit.yTexts[1] = "90";
    return edit;
}

}  // namespace

TEST_F(TransferFixture, ReadBringsTheHeaderThenEveryPointWithProgress) {
    struct Case {
        TableKind kind;
        int header, point, points;
    };
    for (const Case c :
         {Case{TableKind::CustomRtd, 194, 196, 10}, Case{TableKind::SpecialCurve, 186, 188, 5}}) {
        SCOPED_TRACE(c.header);
        Connect(c.kind);
        view = RecordingTableView(worker);
        transfer->StartRead();
        EXPECT_FALSE(view.readEnabled);
        ASSERT_TRUE(RunToEnd());

        std::vector<Heard> expected{{c.header, -1}};
        for (int i = 0; i < c.points; ++i) expected.push_back({c.point, i});
        EXPECT_EQ(TableRequests(), expected);
        EXPECT_EQ(view.events.front(), std::string("show ") + InfoOf(c.kind).uploadKey);
        EXPECT_EQ(view.events.back(), "table");
        EXPECT_TRUE(view.readEnabled);
        EXPECT_FLOAT_EQ(connection.lastPercent, 100.0f);
        EXPECT_TRUE(worker.Polling());
        worker.StopWorker();
    }
    // The image holds what the device holds.
    const DeviceRecord r = worker.RecordSnapshot();
    EXPECT_EQ(r.specialCurve.size, 5);
    EXPECT_DOUBLE_EQ(r.specialCurve.x[1], 25.0);
    EXPECT_NEAR(r.specialCurve.y[2], 35.0, 1e-5);
}

TEST_F(TransferFixture, WriteSendsHeaderPointsMarkerWaitsThenReadsTheHeaderBack) {
    struct Case {
        TableKind kind;
        int header, point, readBack, waitMs;
    };
    for (const Case c : {Case{TableKind::CustomTc, 191, 193, 190, 8000},
                         Case{TableKind::CustomRtd, 195, 197, 194, 8000},
                         Case{TableKind::SpecialCurve, 187, 189, 186, 5000}}) {
        SCOPED_TRACE(c.header);
        Connect(c.kind);
        view = RecordingTableView(worker);
        prompts.QueueAnswer(Answer::Yes);
        const std::int64_t before = waitClock.NowMs();
        const bool sent = c.kind == TableKind::SpecialCurve
                              ? transfer->StartWrite(TwoCurvePoints(), true)
                              : transfer->StartWrite(TwoPoints("1.5", "2.5"), true);
        ASSERT_TRUE(sent);
        ASSERT_TRUE(RunToEnd());

        EXPECT_EQ(TableRequests(), (std::vector<Heard>{{c.header, -1},
                                                       {c.point, 0},
                                                       {c.point, 1},
                                                       {c.point, kEndOfTableIndex},
                                                       {c.readBack, -1}}));
        EXPECT_EQ(waitClock.NowMs() - before, c.waitMs);
        EXPECT_EQ(view.events,
                  (std::vector<std::string>{std::string("show ") + InfoOf(c.kind).downloadKey,
                                            "show Storing_Table", "hide", "header"}));
        EXPECT_TRUE(view.writeEnabled);
        EXPECT_EQ(prompts.Messages().back().key, InfoOf(c.kind).confirmKey);
        worker.StopWorker();
    }
    Device([](sim::SimState& s) {
        EXPECT_EQ(s.customTc.status, 0);
        EXPECT_EQ(s.customTc.size, 2);
        EXPECT_EQ(s.customTc.step, 10);
        EXPECT_EQ(s.customTc.minimum, -20);
        EXPECT_FLOAT_EQ(s.customTc.values[1], 2.5f);
        EXPECT_FLOAT_EQ(s.customRtd.values[0], 1.5f);
        EXPECT_EQ(s.specialCurve.size, 2);
        EXPECT_FLOAT_EQ(s.specialCurve.x[1], 1.0f);
        EXPECT_FLOAT_EQ(s.specialCurve.y[0], 0.1f);
    });
    // The header read back refreshed the image.
    EXPECT_EQ(worker.RecordSnapshot().customTable.size, 2);
}

TEST_F(TransferFixture, WritesRefusedOrDeclinedSendNothing) {
    struct Case {
        const char* name;
        TableKind kind;
        std::int16_t sensorType;
        std::int16_t transferFunction;
        std::vector<Answer> answers;
        bool tableValid;
        CustomTableEdit table;
        std::vector<std::string> keys;  // every message asked, in order
    };
    const CustomTableEdit good = TwoPoints("1", "2");
    const CustomTableEdit empty;
    const std::vector<Case> cases = {
        {"TC in use",
         TableKind::CustomTc,
         kSensorTypeCustomTc,
         0,
         {Answer::Ok},
         true,
         good,
         {"Sensor_Type_Error_TC"}},
        {"RTD in use",
         TableKind::CustomRtd,
         kSensorTypeCustomRtd,
         0,
         {Answer::Ok},
         true,
         good,
         {"Sensor_Type_Error_RTD"}},
        {"curve in use",
         TableKind::SpecialCurve,
         12,
         kTransferFunctionSpecialCurve,
         {Answer::Ok},
         true,
         good,
         {"XFER_Error_SC"}},
        {"No", TableKind::CustomTc, 12, 0, {Answer::No}, true, good, {"Confr_Download_CustomTC"}},
        {"table not valid",
         TableKind::CustomRtd,
         12,
         0,
         {Answer::Yes},
         false,
         good,
         {"Confr_Download_CustomRTD"}},
        {"empty table",
         TableKind::CustomTc,
         12,
         0,
         {Answer::Yes, Answer::Ok},
         true,
         empty,
         {"Confr_Download_CustomTC", "Err_CustomTable_Empty"}},
        {"minimum out of range",
         TableKind::CustomTc,
         12,
         0,
         {Answer::Yes, Answer::Ok},
         true,
         [] {
             CustomTableEdit e = TwoPoints("1", "2");
             e.minimumText = "-274";
             return e;
         }(),
         {"Confr_Download_CustomTC", "Err_Temp_Min"}},
    };
    Connect(TableKind::CustomTc);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPrompts asked;
        for (Answer a : c.answers) asked.QueueAnswer(a);
        RecordingTableView own(worker);
        TableTransfer t(c.kind, worker, asked, own, waitClock);
        worker.WithSession([&](DeviceState& s) {
            s.record.sensorType = c.sensorType;
            s.record.transferFunction = c.transferFunction;
        });
        const bool sent = c.kind == TableKind::SpecialCurve ? t.StartWrite(TwoCurvePoints(), true)
                                                            : t.StartWrite(c.table, c.tableValid);
        EXPECT_FALSE(sent);
        std::vector<std::string> keys;
        for (const auto& m : asked.Messages()) keys.push_back(m.key);
        EXPECT_EQ(keys, c.keys);
        EXPECT_TRUE(own.writeEnabled);
        EXPECT_TRUE(own.events.empty());
        EXPECT_FALSE(t.Busy());
    }
    EXPECT_TRUE(TableRequests().empty());

    // With "Custom TC" configured the RTD table still goes to the device.
    worker.WithSession([](DeviceState& s) { s.record.sensorType = kSensorTypeCustomTc; });
    Make(TableKind::CustomRtd);
    prompts.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(transfer->StartWrite(TwoPoints("100", "110"), true));
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(TableRequests().front(), (Heard{195, -1}));
    Device([](sim::SimState& s) { EXPECT_FLOAT_EQ(s.customRtd.values[1], 110.0f); });
}

TEST_F(TransferFixture, DeviceRefusalsEndTheSequenceAsTheyShould) {
    // A refused header write reads the header back; a refused point write ends
    // without it. Both give the buttons and the live values back.
    Connect(TableKind::CustomTc);
    port.WithDevice([](sim::SimDevice& d) { d.Faults().responseCodeFor[191] = 3; });
    prompts.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(transfer->StartWrite(TwoPoints("1", "2"), true));
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(TableRequests(), (std::vector<Heard>{{191, -1}, {190, -1}}));
    EXPECT_EQ(view.events, (std::vector<std::string>{"show Custom_TC_Download", "hide", "header"}));
    EXPECT_TRUE(view.writeEnabled);

    firstFrame = port.Written().size();
    view = RecordingTableView(worker);
    port.WithDevice([](sim::SimDevice& d) {
        d.Faults().responseCodeFor.clear();
        d.Faults().responseCodeFor[193] = 3;
    });
    prompts.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(transfer->StartWrite(TwoPoints("1", "2"), true));
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(TableRequests(), (std::vector<Heard>{{191, -1}, {193, 0}}));
    EXPECT_EQ(view.events, (std::vector<std::string>{"show Custom_TC_Download", "hide"}));
    EXPECT_TRUE(view.writeEnabled);
    EXPECT_TRUE(worker.Polling());
}

TEST_F(TransferFixture, ADeviceTableLargerThanTheRecordIsNotRead) {
    Device([](sim::SimState& s) {
        s.customTc.status = 0;
        s.customTc.size = 300;
    });
    Connect(TableKind::CustomTc);
    prompts.QueueAnswer(Answer::Ok);
    transfer->StartRead();
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(TableRequests(), (std::vector<Heard>{{190, -1}}));
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0].key, kDeviceTableTooLargeKey);
    EXPECT_EQ(prompts.Messages()[0].args, (MessageArgs{300LL, 250LL}));
    EXPECT_TRUE(view.readEnabled);
    EXPECT_EQ(view.events, (std::vector<std::string>{"show Custom_TC_Upload", "hide"}));
}

TEST_F(TransferFixture, AConnectionGivenUpDuringPointWritesEndsTheTransfer) {
    Connect(TableKind::CustomTc);
    port.WithDevice([](sim::SimDevice& d) {
        d.Faults().onlyCommand = 193;
        d.Faults().dropAnswer.remaining = -1;
    });
    // Two silent retries after a point write, then the user gives up.
    prompts.QueueAnswers({Answer::Yes, Answer::Cancel});
    ASSERT_TRUE(transfer->StartWrite(TwoPoints("1", "2"), true));
    ASSERT_TRUE(Pump([&] { return !transfer->Busy(); }));
    EXPECT_EQ(view.events.back(), "lost");
    EXPECT_EQ(prompts.Messages().back().key, "Err_COM");
    EXPECT_FALSE(controller.Connected());
    const auto heard = TableRequests();
    EXPECT_EQ(std::count(heard.begin(), heard.end(), Heard{190, -1}), 0);
}

TEST_F(TransferFixture, CalibratedRtdEntriesStartFromTheDeviceAndAreWrittenWithTheirScale) {
    Connect(TableKind::CustomRtd);
    prompts.QueueNumber(Typed("1.2345678901234"));  // 15 characters: no room for "e-003"
    prompts.QueueAnswer(Answer::Ok);
    prompts.QueueNumber(Typed("3.9"));
    prompts.QueueNumber(Typed("-5.8"));
    prompts.QueueNumber(Typed("-4.2"));
    prompts.QueueNumber(Typed("100.5"));
    prompts.QueueNumber(Typed("-100"));
    prompts.QueueNumber(Typed("600"));
    const std::int64_t before = waitClock.NowMs();
    ASSERT_TRUE(calibrated->Start());
    EXPECT_FALSE(view.calibratedEnabled);
    ASSERT_TRUE(RunToEnd());

    const auto& entries = prompts.NumberEntries();
    ASSERT_EQ(entries.size(), 7u);
    EXPECT_EQ(entries[0].initialText, "3.908300");  // A x 1000 of the simulator's Pt100
    EXPECT_EQ(entries[0].promptArgs, (MessageArgs{std::string("A"), std::string("( X*e-003 )")}));
    EXPECT_EQ(entries[1].initialText, "1.2345678901234");  // asked again with what was typed
    EXPECT_EQ(entries[2].initialText, "-5.775000");
    EXPECT_EQ(entries[3].initialText, "-4.183000");
    EXPECT_EQ(entries[4].initialText, "100");
    EXPECT_EQ(entries[5].initialText, "-200");
    EXPECT_EQ(entries[5].promptKey, "Set_Sensor_Lower_Limit");
    EXPECT_EQ(entries[6].initialText, "850");
    EXPECT_EQ(entries[6].titleKey, "Set_Sensor_Upper_Limit_Title");
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0].key, kCoefficientTooLongKey);
    EXPECT_EQ(prompts.Messages()[0].args, (MessageArgs{std::string("A"), 14LL}));

    EXPECT_EQ(TableRequests(), (std::vector<Heard>{{144, -1}, {194, -1}}));
    EXPECT_EQ(waitClock.NowMs() - before, 3500);
    worker.WithSession([](DeviceState& s) {
        EXPECT_EQ(s.writes.rtdCoefficientAText, "3.9e-003");
        EXPECT_EQ(s.writes.rtdCoefficientR0Text, "100.5");
    });
    Device([](sim::SimState& s) {
        EXPECT_FLOAT_EQ(s.rtdA, 3.9e-3f);
        EXPECT_FLOAT_EQ(s.rtdB, -5.8e-7f);
        EXPECT_FLOAT_EQ(s.rtdC, -4.2e-12f);
        EXPECT_FLOAT_EQ(s.rtdR0, 100.5f);
        EXPECT_EQ(s.rtdLowerLimit, -100);
        EXPECT_EQ(s.rtdUpperLimit, 600);
    });
    EXPECT_EQ(view.events.back(), "header");
    // Kept for the next time.
    EXPECT_FLOAT_EQ(static_cast<float>(worker.RecordSnapshot().rtdCoefficientA), 3.9e-3f);
}

TEST(TableSeriesTest, SeriesRangesAndTextsOfEachTable) {
    const TextLookup text = [](const std::string& key) { return "<" + key + ">"; };

    CustomTableEdit tc;
    tc.size = 3;
    tc.minimumText = "-50";
    tc.stepText = "25";
    tc.valueTexts[0] = "-1.5";
    tc.valueTexts[1] = "0.25";
    tc.valueTexts[2] = "0.1";
    const TableGraphSeries t = CustomTableSeries(tc, TableKind::CustomTc, text);
    EXPECT_EQ(t.x, (std::vector<double>{-50, -25, 0}));
    EXPECT_EQ(t.y, (std::vector<double>{-1.5, 0.25, 0.1}));
    EXPECT_EQ((std::vector<double>{t.xLower, t.xUpper, t.yLower, t.yUpper}),
              (std::vector<double>{-50, 0, -1.5, 0.25}));
    EXPECT_EQ((std::vector<std::string>{t.title, t.yUnit, t.yName, t.xName}),
              (std::vector<std::string>{"<TC_Table_Name>", "<TC_Table_Y_Unit>", "<TC_Table_Y_Name>",
                                        "<TC_Table_X_Name>"}));

    // Minimum and step both 0: the axis still has a width.
    CustomTableEdit flat = tc;
    flat.minimumText = "0";
    flat.stepText = "0";
    const TableGraphSeries r = CustomTableSeries(flat, TableKind::CustomRtd, text);
    EXPECT_EQ(r.xLower, -1.0);
    EXPECT_EQ(r.xUpper, 1.0);
    EXPECT_EQ(r.title, "<RTD_Table_Name>");
    EXPECT_EQ(r.xName, "<RTD_Table_X_Name>");

    SpecialCurveEdit sc;
    sc.size = 3;
    sc.xTexts = {};
    sc.xTexts[0] = "-10";
    sc.xTexts[1] = "50";
    sc.xTexts[2] = "110";
    sc.yTexts[0] = "20";
    sc.yTexts[1] = "-5";
    sc.yTexts[2] = "100";
    const TableGraphSeries s = SpecialCurveSeries(sc, text);
    EXPECT_EQ(s.x, (std::vector<double>{-10, 50, 110}));
    EXPECT_EQ((std::vector<double>{s.xLower, s.xUpper, s.yLower, s.yUpper}),
              (std::vector<double>{-10, 110, -5, 100}));
    EXPECT_EQ(s.yUnit, "<SC_Table_Y_Unit>");

    // No points: no series, and the ranges stay at 0 rather than garbage.
    sc.size = 0;
    const TableGraphSeries none = SpecialCurveSeries(sc, text);
    EXPECT_TRUE(none.x.empty());
    EXPECT_EQ(none.xLower, none.xUpper);
}
