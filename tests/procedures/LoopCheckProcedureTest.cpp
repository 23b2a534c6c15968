// The loop check and the report's reads driven by the worker against the
// simulated transmitter on an in-memory line, judged by what the device
// holds: each point's level while it is measured, and level 0 after every
// ending the program can reach.

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "procedures/ConnectionController.h"
#include "link/NotificationQueue.h"
#include "link/RequestTable.h"
#include "link/DataLink.h"
#include "model/ScriptedPrompts.h"
#include "procedures/LoopCheckProcedure.h"
#include "procedures/ReportReading.h"
#include "sim/SimLoopbackPort.h"
#include "tests/support/LinkRig.h"

namespace qt40 {
namespace {

// The procedures' bounds run on the link's virtual time.
struct LoopFixture : ::testing::Test, test::LinkRigOf<ScriptedPrompts> {
    LoopCheckSheet sheet;
    LoopCheckProcedure check{worker, host, sheet};
    std::function<ProcedureStep(const Notification&)> procedure;

    LoopFixture() {
        controller.SetReconnectWaitMs(0);
        procedure = [this](const Notification& n) { return check.HandleNotification(n); };
    }
    ~LoopFixture() override { worker.StopWorker(); }

    // Hands notifications to the procedure, the rest to the connection
    // logic, until `done` holds (or 10 s have passed).
    bool Pump(const std::function<bool()>& done) {
        SteadyClock real;
        const auto end = real.NowMs() + 10000;
        while (!done()) {
            if (real.NowMs() > end) return false;
            const auto next = queue.WaitNext(20);
            if (!next || next->notification.run != worker.RunNumber()) continue;
            const ProcedureStep step = procedure(next->notification);
            if (step == ProcedureStep::NotMine || step == ProcedureStep::ConnectionLost) {
                controller.HandleNotification(next->notification);
            }
        }
        return true;
    }

    void Connect() {
        ASSERT_EQ(controller.ConnectDevice(), kCommSuccess);
        ASSERT_TRUE(Pump([&] { return view.established; }));
    }

    float Level() {
        return port.WithDevice([](sim::SimDevice& d) { return d.State().fixedCurrent; });
    }

    bool WaitMeasuring() {
        return Pump([&] {
            return !check.Running() || check.CurrentState() == LoopCheckProcedure::State::Measuring;
        });
    }
};

TEST_F(LoopFixture, EachPointIsHeldWhileMeasuredAndTheLoopIsReleasedAtTheEnd) {
    Connect();
    sheet.SetPoints({0, 50, 100});
    ASSERT_EQ(check.Start(LoopRunKind::AsFound), kCommSuccess);
    const char* readings[] = {"4.002", "12.041", "19.99"};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(WaitMeasuring()) << i;
        ASSERT_EQ(check.CurrentState(), LoopCheckProcedure::State::Measuring);
        EXPECT_EQ(check.PointIndex(), static_cast<std::size_t>(i));
        EXPECT_FLOAT_EQ(Level(), 4.0f + 8.0f * static_cast<float>(i)) << i;
        // A text that is no current is refused; the point waits for another.
        EXPECT_FALSE(check.Enter("twelve").result);
        EXPECT_EQ(check.CurrentState(), LoopCheckProcedure::State::Measuring);
        EXPECT_TRUE(check.Enter(readings[i]).result);
    }
    ASSERT_TRUE(Pump([&] { return !check.Running(); }));
    EXPECT_EQ(check.LastEnding(), LoopCheckProcedure::Ending::Completed);
    EXPECT_TRUE(check.Released());
    EXPECT_EQ(Level(), 0.0f);

    const LoopRun& run = *sheet.Run(LoopRunKind::AsFound);
    EXPECT_DOUBLE_EQ(*run.points[0].errorPercent, 0.013);
    EXPECT_DOUBLE_EQ(*run.points[1].errorPercent, 0.256);  // 0.041 mA high
    EXPECT_FALSE(*run.points[1].pass);
    EXPECT_DOUBLE_EQ(*run.points[2].errorPercent, -0.063);
    EXPECT_TRUE(*run.points[2].pass);
}

// Every way a run can end early sends level 0; the device confirms it.
TEST_F(LoopFixture, StoppedOrRefusedRunsReleaseTheLoop) {
    Connect();
    sheet.SetPoints({0, 25, 50, 75, 100});
    const struct {
        const char* how;
        std::function<void()> act;
        LoopCheckProcedure::Ending ending;
    } cases[] = {
        {"stop while a point is measured",
         [&] {
             ASSERT_TRUE(WaitMeasuring());
             check.Enter("4");
             ASSERT_TRUE(WaitMeasuring());
             EXPECT_FLOAT_EQ(Level(), 8.0f);
             check.Stop();
         },
         LoopCheckProcedure::Ending::Stopped},
        {"stop while a level is on its way",
         [&] {
             ASSERT_TRUE(WaitMeasuring());
             check.Enter("4");
             check.Stop();  // the 8 mA request has not been answered yet
             EXPECT_EQ(check.CurrentState(), LoopCheckProcedure::State::Setting);
         },
         LoopCheckProcedure::Ending::Stopped},
        {"the device refuses the third level",
         [&] {
             // Counted from the first level's answer, which may or may not
             // have come before this line runs.
             ASSERT_TRUE(WaitMeasuring());
             port.WithDevice([](sim::SimDevice& d) {
                 d.Faults().onlyCommand = 40;
                 d.Faults().refuse.remaining = 0;
                 d.Faults().refuse.every = 2;
             });
             check.Enter("4");
             ASSERT_TRUE(WaitMeasuring());
             check.Enter("8");
         },
         LoopCheckProcedure::Ending::Refused},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(check.Start(LoopRunKind::AsFound), kCommSuccess) << c.how;
        c.act();
        ASSERT_TRUE(Pump([&] { return !check.Running(); })) << c.how;
        EXPECT_EQ(check.LastEnding(), c.ending) << c.how;
        EXPECT_TRUE(check.Released()) << c.how;
        EXPECT_EQ(Level(), 0.0f) << c.how;
        port.WithDevice([](sim::SimDevice& d) { d.Faults() = {}; });
    }
    EXPECT_FALSE(sheet.Run(LoopRunKind::AsFound)->Complete());
}

TEST_F(LoopFixture, ALostConnectionEndsTheRunWithoutPretendingARelease) {
    Connect();
    ASSERT_EQ(check.Start(LoopRunKind::AsFound), kCommSuccess);
    ASSERT_TRUE(WaitMeasuring());
    port.WithDevice([](sim::SimDevice& d) {
        d.Faults().onlyCommand = 40;
        d.Faults().dropAnswer.remaining = -1;
    });
    const std::int64_t lost = clock.NowMs();
    check.Enter("4.0");
    ASSERT_TRUE(Pump([&] { return !check.Running(); }));
    EXPECT_EQ(check.LastEnding(), LoopCheckProcedure::Ending::ConnectionLost);
    EXPECT_FALSE(check.Released());
    // Nobody was asked; level 0 went out again and again until its bound.
    EXPECT_TRUE(prompts.Messages().empty());
    EXPECT_GT(check.Release0().Tries(), 1);
    EXPECT_GE(clock.NowMs() - lost, LevelRelease::kBoundMs);
    EXPECT_FLOAT_EQ(Level(), 4.0f);  // the device kept what it last heard
    EXPECT_DOUBLE_EQ(check.HeldMa(), 8.0);
    const LoopRun& run = *sheet.Run(LoopRunKind::AsFound);
    EXPECT_EQ(run.stop, LoopStop::ExchangeLost);
    EXPECT_EQ(run.released, false);
    // Nothing more is sent.
    check.Stop();
    EXPECT_FALSE(check.Running());
}

// An exchange lost while a level is set, while it is held (an idle poll) or
// while level 0 goes out: nobody is asked, the run ends, and level 0 is
// sent again until the device has answered it.
TEST_F(LoopFixture, ALostExchangeEndsTheRunWithLevelZeroAnswered) {
    Connect();
    struct Case {
        const char* how;
        int drops;                         // answers dropped from the moment the fault is set
        std::optional<std::uint8_t> only;  // for command 40 only, or for every command
        bool enter;                        // the fault hits the next level rather than a poll
        int releaseTries;
    };
    const Case cases[] = {
        // The 8 mA level's four tries, then level 0's first exchange.
        {"the next level and one level 0 lost", 8, 40, true, 2},
        {"the next level lost", 4, 40, true, 1},
        // The poll's first command, four tries: the output holds 4 mA meanwhile.
        {"an idle poll lost while the point is measured", 4, std::nullopt, false, 1},
    };
    for (const Case& c : cases) {
        sheet.SetPoints({0, 50, 100});
        ASSERT_EQ(check.Start(LoopRunKind::AsFound), kCommSuccess) << c.how;
        ASSERT_TRUE(WaitMeasuring()) << c.how;
        port.WithDevice([&](sim::SimDevice& d) {
            d.Faults().onlyCommand = c.only;
            d.Faults().dropAnswer.remaining = c.drops;
        });
        if (c.enter) check.Enter("4.0");
        ASSERT_TRUE(Pump([&] { return !check.Running(); })) << c.how;
        EXPECT_EQ(check.LastEnding(), LoopCheckProcedure::Ending::ConnectionLost) << c.how;
        EXPECT_TRUE(check.Released()) << c.how;
        EXPECT_EQ(check.Release0().Tries(), c.releaseTries) << c.how;
        EXPECT_EQ(Level(), 0.0f) << c.how;
        EXPECT_TRUE(controller.Connected()) << c.how;
        EXPECT_TRUE(prompts.Messages().empty()) << c.how;
        const LoopRun& run = *sheet.Run(LoopRunKind::AsFound);
        EXPECT_EQ(run.stop, LoopStop::ExchangeLost) << c.how;
        EXPECT_EQ(run.released, true) << c.how;
        port.WithDevice([](sim::SimDevice& d) { d.Faults() = {}; });
    }
}

// A refused level, and a level 0 refused a few times before it is taken.
TEST_F(LoopFixture, ARefusedLevelZeroIsTriedAgainUntilTaken) {
    Connect();
    sheet.SetPoints({0, 100});
    ASSERT_EQ(check.Start(LoopRunKind::AsFound), kCommSuccess);
    ASSERT_TRUE(WaitMeasuring());
    port.WithDevice([](sim::SimDevice& d) { d.Faults().responseCodeFor[40] = 16; });
    check.Enter("4.0");
    ASSERT_TRUE(Pump([&] {
        if (check.Release0().Tries() >= 3) {
            port.WithDevice([](sim::SimDevice& d) { d.Faults() = {}; });
        }
        return !check.Running();
    }));
    EXPECT_EQ(check.LastEnding(), LoopCheckProcedure::Ending::Refused);
    EXPECT_EQ(check.RefusalCode(), 16);
    EXPECT_TRUE(check.Released());
    EXPECT_GE(check.Release0().Tries(), 3);
    EXPECT_EQ(Level(), 0.0f);
    EXPECT_EQ(sheet.Run(LoopRunKind::AsFound)->stop, LoopStop::Refused);
    EXPECT_EQ(sheet.Run(LoopRunKind::AsFound)->responseCode, 16);
}

// A mistyped reading is taken again alone: the output goes back to that
// point, the new reading replaces the old one and the verdict follows it;
// however the redo ends, the loop is released, and a redo that gets no
// reading leaves the run as it was.
TEST_F(LoopFixture, OnePointIsTakenAgainAndTheLoopReleasedAfterIt) {
    Connect();
    sheet.SetPoints({0, 50, 100});
    ASSERT_EQ(check.Start(LoopRunKind::AsFound), kCommSuccess);
    for (const char* reading : {"4.0", "12.5", "20.0"}) {  // 12.5: meant 12.005
        ASSERT_TRUE(WaitMeasuring());
        ASSERT_TRUE(check.Enter(reading).result);
    }
    ASSERT_TRUE(Pump([&] { return !check.Running(); }));
    EXPECT_STREQ(sheet.Run(LoopRunKind::AsFound)->VerdictKey(), "Rec_Fail");
    EXPECT_TRUE(check.WouldReplace(LoopRunKind::AsFound));
    EXPECT_FALSE(check.WouldReplace(LoopRunKind::AsLeft));

    struct Case {
        const char* how;
        std::function<void()> end;  // after the point's level is held
        const char* reading;        // kept at point 1 afterwards
        LoopCheckProcedure::Ending ending;
    };
    const Case cases[] = {
        {"stopped while the point is held", [&] { check.Stop(); }, "12.500",
         LoopCheckProcedure::Ending::Stopped},
        {"a refused reading, then the right one",
         [&] {
             EXPECT_FALSE(check.Enter("12,005").result);
             EXPECT_EQ(check.CurrentState(), LoopCheckProcedure::State::Measuring);
             EXPECT_TRUE(check.Enter("12.005").result);
         },
         "12.005", LoopCheckProcedure::Ending::Completed},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(check.CanRedo(LoopRunKind::AsFound, 1)) << c.how;
        ASSERT_EQ(check.Redo(LoopRunKind::AsFound, 1), kCommSuccess) << c.how;
        EXPECT_TRUE(check.Redoing());
        EXPECT_FALSE(check.CanRedo(LoopRunKind::AsFound, 0)) << "one thing at a time";
        ASSERT_TRUE(WaitMeasuring()) << c.how;
        EXPECT_EQ(check.PointIndex(), 1u) << c.how;
        EXPECT_FLOAT_EQ(Level(), 12.0f) << c.how;
        c.end();
        ASSERT_TRUE(Pump([&] { return !check.Running(); })) << c.how;
        EXPECT_EQ(check.LastEnding(), c.ending) << c.how;
        EXPECT_TRUE(check.Released()) << c.how;
        EXPECT_EQ(Level(), 0.0f) << c.how;
        const LoopRun& run = *sheet.Run(LoopRunKind::AsFound);
        EXPECT_EQ(run.points[1].measuredText, c.reading) << c.how;
        // The other points and the way the run ended stay as they were.
        EXPECT_EQ(run.points[0].measuredText, "4.000") << c.how;
        EXPECT_EQ(run.points[2].measuredText, "20.000") << c.how;
        EXPECT_TRUE(run.Complete()) << c.how;
        EXPECT_FALSE(run.stop.has_value()) << c.how;
        EXPECT_EQ(run.released, true) << c.how;
    }
    EXPECT_DOUBLE_EQ(*sheet.Run(LoopRunKind::AsFound)->points[1].errorPercent, 0.031);
    EXPECT_STREQ(sheet.Run(LoopRunKind::AsFound)->VerdictKey(), "Rec_Pass");
}

// Only a point that holds a reading can be taken again, and a run that
// stopped early keeps its reason and its missing points through a redo.
TEST_F(LoopFixture, ARedoNeedsAReadingAndKeepsAStoppedRunIncomplete) {
    Connect();
    EXPECT_FALSE(check.CanRedo(LoopRunKind::AsFound, 0));  // no run yet
    EXPECT_EQ(check.Redo(LoopRunKind::AsFound, 0), kCommSuccess);
    EXPECT_FALSE(check.Running());
    EXPECT_FALSE(check.WouldReplace(LoopRunKind::AsFound));

    sheet.SetPoints({0, 50, 100});
    ASSERT_EQ(check.Start(LoopRunKind::AsFound), kCommSuccess);
    EXPECT_FALSE(check.WouldReplace(LoopRunKind::AsFound));  // nothing read yet
    ASSERT_TRUE(WaitMeasuring());
    ASSERT_TRUE(check.Enter("4.2").result);
    ASSERT_TRUE(WaitMeasuring());
    check.Stop();
    ASSERT_TRUE(Pump([&] { return !check.Running(); }));
    EXPECT_TRUE(check.WouldReplace(LoopRunKind::AsFound));  // a stopped run with a reading
    const struct {
        std::size_t index;
        bool can;
    } points[] = {{0, true}, {1, false}, {2, false}, {3, false}};
    for (const auto& p : points) {
        EXPECT_EQ(check.CanRedo(LoopRunKind::AsFound, p.index), p.can) << p.index;
        EXPECT_FALSE(check.CanRedo(LoopRunKind::AsLeft, p.index)) << p.index;
    }

    ASSERT_EQ(check.Redo(LoopRunKind::AsFound, 0), kCommSuccess);
    ASSERT_TRUE(WaitMeasuring());
    EXPECT_FLOAT_EQ(Level(), 4.0f);
    ASSERT_TRUE(check.Enter("4.01").result);
    ASSERT_TRUE(Pump([&] { return !check.Running(); }));
    EXPECT_EQ(Level(), 0.0f);
    const LoopRun& run = *sheet.Run(LoopRunKind::AsFound);
    EXPECT_EQ(run.points[0].measuredText, "4.010");
    EXPECT_FALSE(run.points[1].measuredMa.has_value());
    EXPECT_EQ(run.stop, LoopStop::Stopped);
    EXPECT_STREQ(run.VerdictKey(), "Rec_Incomplete");
}

// Once the output has been adjusted (a DAC trim, an as-left run), an
// as-found point taken again would not be as found: only as-left points are.
TEST_F(LoopFixture, AsFoundPointsAreNotTakenAgainAfterAnAdjustment) {
    Connect();
    sheet.SetPoints({50});
    const auto measure = [&](LoopRunKind kind) {
        ASSERT_EQ(check.Start(kind), kCommSuccess);
        ASSERT_TRUE(WaitMeasuring());
        ASSERT_TRUE(check.Enter("12.0").result);
        ASSERT_TRUE(Pump([&] { return !check.Running(); }));
    };
    const struct {
        const char* after;
        std::function<void()> adjust;
    } cases[] = {
        {"a DAC trim stored", [&] { sheet.RecordTrim(false, "4.01"); }},
        {"a DAC trim stopped", [&] { sheet.trimStopped = true; }},
        {"an as-left run", [&] { measure(LoopRunKind::AsLeft); }},
    };
    for (const auto& c : cases) {
        sheet.Clear();
        measure(LoopRunKind::AsFound);
        EXPECT_TRUE(check.CanRedo(LoopRunKind::AsFound, 0)) << c.after;
        c.adjust();
        EXPECT_FALSE(check.CanRedo(LoopRunKind::AsFound, 0)) << c.after;
        EXPECT_EQ(check.Redo(LoopRunKind::AsFound, 0), kCommSuccess) << c.after;
        EXPECT_FALSE(check.Running()) << c.after;
    }
    EXPECT_TRUE(check.CanRedo(LoopRunKind::AsLeft, 0));
    EXPECT_EQ(Level(), 0.0f);
}

// The line lost while a redone point is held: the release follows, the old
// reading stays and the run keeps its own ending.
TEST_F(LoopFixture, ALostRedoKeepsTheOldReading) {
    Connect();
    sheet.SetPoints({50});
    ASSERT_EQ(check.Start(LoopRunKind::AsFound), kCommSuccess);
    ASSERT_TRUE(WaitMeasuring());
    ASSERT_TRUE(check.Enter("12.1").result);
    ASSERT_TRUE(Pump([&] { return !check.Running(); }));
    ASSERT_EQ(check.Redo(LoopRunKind::AsFound, 0), kCommSuccess);
    ASSERT_TRUE(WaitMeasuring());
    port.WithDevice([](sim::SimDevice& d) { d.Faults().dropAnswer.remaining = 4; });
    ASSERT_TRUE(Pump([&] { return !check.Running(); }));
    EXPECT_EQ(check.LastEnding(), LoopCheckProcedure::Ending::ConnectionLost);
    EXPECT_TRUE(check.Released());
    EXPECT_EQ(Level(), 0.0f);
    const LoopRun& run = *sheet.Run(LoopRunKind::AsFound);
    EXPECT_EQ(run.points[0].measuredText, "12.100");
    EXPECT_FALSE(run.stop.has_value());
    EXPECT_STREQ(run.VerdictKey(), "Rec_Fail");
}

TEST_F(LoopFixture, NoWorkerNoRun) {
    EXPECT_NE(check.Start(LoopRunKind::AsFound), kCommSuccess);
    EXPECT_FALSE(check.Running());
    EXPECT_EQ(check.LastEnding(), LoopCheckProcedure::Ending::ConnectionLost);
}

TEST_F(LoopFixture, TheReportReadsStatusAndBothSensorsTrims) {
    port.WithDevice([](sim::SimDevice& d) {
        d.State().measurementType = 1;  // two sensors
        d.State().sensorTrim[1].zeroValue = 0.75f;
        d.State().additionalStatus[3] = 0x10;
    });
    Connect();
    ReportReading reading(worker, host);
    std::optional<ProcedureStep> last;
    procedure = [&](const Notification& n) {
        const ProcedureStep step = reading.HandleNotification(n);
        if (step != ProcedureStep::NotMine) last = step;
        return step;
    };
    ASSERT_EQ(reading.Start(), kCommSuccess);
    ASSERT_TRUE(Pump([&] { return last && *last != ProcedureStep::Continues; }));
    EXPECT_EQ(*last, ProcedureStep::Finished);
    ASSERT_EQ(reading.Trims().size(), 2u);
    EXPECT_EQ(reading.Trims()[1].sensor, 2);
    EXPECT_FLOAT_EQ(static_cast<float>(reading.Trims()[1].zeroValue), 0.75f);
    const ReportInput input = ReportInputFrom(worker, reading.Trims());
    EXPECT_TRUE(input.answered.test(48));
    EXPECT_EQ(input.record.additionalStatus[3], 0x10);
}

// A second upload that stops half-way: what the first one read no longer counts.
TEST_F(LoopFixture, AnUploadStartsTheAnsweredCommandsAfresh) {
    Connect();
    EXPECT_TRUE(session.answered.test(143));
    controller.StopConnection();
    port.WithDevice([](sim::SimDevice& d) { d.Faults().responseCodeFor[143] = 5; });
    std::optional<int> upload;
    procedure = [&](const Notification& n) {
        if (n.Completes(WorkerRequest::Upload)) upload = n.result;
        return ProcedureStep::NotMine;
    };
    view.established = false;
    prompts.QueueAnswer(Answer::Ok);  // the refused upload is told
    ASSERT_EQ(controller.ConnectDevice(), kCommSuccess);
    ASSERT_TRUE(Pump([&] { return upload.has_value(); }));
    EXPECT_EQ(*upload, kCommAnswerRejected);
    ASSERT_FALSE(prompts.Messages().empty());
    EXPECT_EQ(prompts.Messages().back().key, "Err_Connect_Refused");
    const ReportInput input = ReportInputFrom(worker, {});
    EXPECT_TRUE(input.answered.test(0));
    EXPECT_TRUE(input.answered.test(13));
    EXPECT_FALSE(input.answered.test(143));
    EXPECT_NE(input.record.rtdCoefficientA, 0.0);  // still in the record, from before
    for (const RecordTable& table : ConfigurationReport(input, RecordTexts{}).tables) {
        for (const auto& row : table.rows) {
            if (row[0].text.rfind("Calibrated RTD", 0) == 0) {
                EXPECT_EQ(row[1].text, "") << row[0].text;
            }
        }
    }
}

}  // namespace
}  // namespace qt40
