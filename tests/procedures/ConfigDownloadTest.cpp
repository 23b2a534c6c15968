// The configuration download: what each step stages, and the whole chain
// driven by the worker against the simulated transmitter on an in-memory
// line, checked by what went over the wire and what the device holds.

#include <gtest/gtest.h>

#include <functional>

#include "procedures/ConfigDownload.h"
#include "files/FileConfigFromDevice.h"
#include "link/NotificationQueue.h"
#include "link/DataLink.h"
#include "model/EntryRules.h"
#include "model/ScriptedPrompts.h"
#include "tests/support/LinkRig.h"

namespace qt40 {
namespace {

// What the simulator holds at start, as a configuration file would say it.
FileConfig SimulatorValues() {
    FileConfig c;
    c.tag = "TT-101  ";
    c.descriptor = "REACTOR INLET   ";
    c.message = "QT40 SIMULATED TRANSMITTER      ";
    c.date = "2026/12/07";
    c.sensorType = "Pt100";
    c.measurementType = "Single";
    c.sensorWires = "3 Wires";
    c.pvUnit = "degC";
    c.pvUpperRange = "100.000";
    c.pvLowerRange = "0.000";
    c.pvDamping = "2.000";
    c.pvDriftAlarm = "5.000";
    c.burnoutDetection = "ON";
    c.transferFunction = "LINEAR";
    c.termTempUnit = "degC";
    c.cjcMode = "Internal CJC";
    c.leadWireResistance = "0.0000";
    c.sensorUpperRange = "850.000";
    c.sensorLowerRange = "-200.000";
    c.sensorSerialNo = "5512";
    c.finalAssemblyNo = "120034";
    c.aoAlarmMode = "High";
    c.aoAlarmHigh = "21.750";
    c.aoAlarmLow = "3.750";
    c.aoSaturationHigh = "20.500";
    c.aoSaturationLow = "3.900";
    return c;
}

const DownloadStep& StepOf(WorkerRequest request) {
    for (const DownloadStep& step : DownloadSteps()) {
        if (step.request == request) return step;
    }
    throw std::logic_error("no such step");
}

TEST(DownloadStagingTest, EachStepStagesItsValuesOrNamesTheOneThatStopsIt) {
    struct Case {
        const char* name;
        WorkerRequest request;
        std::function<void(FileConfig&)> change;
        StagingResult::Status status;
        Field field;
        std::function<void(const WriteBuffer&)> check;
        const char* character = "";  // named by the refusal
    };
    using S = StagingResult::Status;
    using W = WorkerRequest;
    const Case cases[] = {
        {"texts padded, upper case, date without blanks", W::WriteTagDescriptorDate,
         [](FileConfig& c) {
             c.tag = "  ab-1 ";
             c.descriptor = "inlet";
             c.date = " 2024/02/29 ";
         },
         S::Ok, Field::Tag,
         [](const WriteBuffer& w) {
             EXPECT_EQ(w.tag, "AB-1    ");
             EXPECT_EQ(w.descriptor, "INLET           ");
             EXPECT_EQ(w.date, "2024/02/29");
         }},
        {"tag longer than its field", W::WriteTagDescriptorDate,
         [](FileConfig& c) { c.tag = "TAG-12345"; }, S::Invalid, Field::Tag, nullptr},
        {"impossible date", W::WriteTagDescriptorDate, [](FileConfig& c) { c.date = "2023/02/29"; },
         S::Invalid, Field::Date, nullptr},
        // One byte from 1900: 2205 would be written as 1949.
        {"a year the device cannot hold", W::WriteTagDescriptorDate,
         [](FileConfig& c) { c.date = "2205/01/01"; }, S::Invalid, Field::Date, nullptr},
        // Packed ASCII has no "~": it would come back as another character.
        {"a character packed ASCII lacks", W::WriteTagDescriptorDate,
         [](FileConfig& c) { c.tag = "ab~1"; }, S::Invalid, Field::Tag, nullptr, "~"},
        {"in the message too", W::WriteMessage, [](FileConfig& c) { c.message = "50{C}"; },
         S::Invalid, Field::Message, nullptr, "{"},
        {"empty descriptor", W::WriteTagDescriptorDate, [](FileConfig& c) { c.descriptor.clear(); },
         S::Empty, Field::Descriptor, nullptr},
        {"message", W::WriteMessage, [](FileConfig& c) { c.message = "hot"; }, S::Ok, Field::Tag,
         [](const WriteBuffer& w) { EXPECT_EQ(w.message, "HOT" + std::string(29, ' ')); }},
        {"names become codes", W::WriteSensorConfig,
         [](FileConfig& c) {
             c.sensorType = "Type S";
             c.sensorWires = "2 Wires";
         },
         S::Ok, Field::Tag,
         [](const WriteBuffer& w) {
             EXPECT_EQ(w.sensorType, *CglobalFile::CodeOf(EnumKind::SensorType, "Type S"));
             EXPECT_EQ(w.measurementType, 0);
             EXPECT_EQ(w.sensorWires, 2);
         }},
        {"a name no table knows", W::WriteSensorConfig,
         [](FileConfig& c) { c.measurementType = "single"; }, S::Invalid, Field::MeasurementType,
         nullptr},
        {"the PV range carries the PV unit", W::WritePvRange,
         [](FileConfig& c) { c.pvUnit = "degF"; }, S::Ok, Field::Tag,
         [](const WriteBuffer& w) {
             EXPECT_EQ(w.upperRangeText, "100.000");
             EXPECT_EQ(w.lowerRangeText, "0.000");
             EXPECT_EQ(w.unitCode, *CglobalFile::CodeOf(EnumKind::Unit, "degF"));
         }},
        {"empty lower range", W::WritePvRange, [](FileConfig& c) { c.pvLowerRange.clear(); },
         S::Empty, Field::PvLowerRange, nullptr},
        {"a damping that is no number", W::WriteDamping,
         [](FileConfig& c) { c.pvDamping = "fast"; }, S::Invalid, Field::PvDamping, nullptr},
        {"a lone minus sign", W::WriteWireResistance,
         [](FileConfig& c) { c.leadWireResistance = "-"; }, S::Invalid, Field::WireResistance,
         nullptr},
        {"serial number", W::WriteSerialNo, [](FileConfig& c) { c.sensorSerialNo = " 16777215"; },
         S::Ok, Field::Tag, [](const WriteBuffer& w) { EXPECT_EQ(w.sensorSerialNo, 16777215u); }},
        {"serial number beyond 24 bits", W::WriteSerialNo,
         [](FileConfig& c) { c.sensorSerialNo = "16777216"; }, S::Invalid, Field::SensorSerialNo,
         nullptr},
        {"negative assembly number", W::WriteFinalAssemblyNo,
         [](FileConfig& c) { c.finalAssemblyNo = "-1"; }, S::Invalid, Field::FinalAssemblyNo,
         nullptr},
        {"saturation values", W::WriteSaturation,
         [](FileConfig& c) { c.aoSaturationLow = " 3.85 "; }, S::Ok, Field::Tag,
         [](const WriteBuffer& w) {
             EXPECT_EQ(w.aoSaturationHighText, "20.500");
             EXPECT_EQ(w.aoSaturationLowText, "3.85");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FileConfig values = SimulatorValues();
        c.change(values);
        WriteBuffer writes;
        writes.tag = "OLD";
        writes.upperRangeText = "1";
        const WriteBuffer before = writes;
        const StagingResult result = StageDownloadStep(StepOf(c.request), values, writes);
        EXPECT_EQ(result.status, c.status);
        if (c.status == S::Ok) {
            c.check(writes);
        } else {
            EXPECT_EQ(result.field, c.field);
            EXPECT_EQ(result.character, c.character);
            // Nothing half-staged: the buffer is as it was.
            EXPECT_EQ(writes.tag, before.tag);
            EXPECT_EQ(writes.upperRangeText, before.upperRangeText);
        }
    }
}

// A file may hold any number. The download takes exactly what the entries
// of the panels and the comparison pages take: a value no entry lets through
// never reaches the device, and each limit itself still goes.
TEST(DownloadStagingTest, RefusesWhatTheEntriesRefuseAndTakesTheirLimits) {
    using W = WorkerRequest;
    struct Case {
        W request;
        ConfigRow row;
        Field field;
        std::string FileConfig::*value;
        const char* refused;
        const char* limit;
    };
    const Case cases[] = {
        {W::WriteAlarmValues, ConfigRow::AoAlarmHigh, Field::AoAlarmHigh, &FileConfig::aoAlarmHigh,
         "23.5", "23.0"},
        {W::WriteAlarmValues, ConfigRow::AoAlarmHigh, Field::AoAlarmHigh, &FileConfig::aoAlarmHigh,
         "21.4", "21.5"},
        {W::WriteAlarmValues, ConfigRow::AoAlarmLow, Field::AoAlarmLow, &FileConfig::aoAlarmLow,
         "3.7", "3.75"},
        {W::WriteAlarmValues, ConfigRow::AoAlarmLow, Field::AoAlarmLow, &FileConfig::aoAlarmLow,
         "3.81", "3.8"},
        {W::WriteSaturation, ConfigRow::AoSaturationHigh, Field::AoSaturationHigh,
         &FileConfig::aoSaturationHigh, "21.6", "21.5"},
        {W::WriteSaturation, ConfigRow::AoSaturationHigh, Field::AoSaturationHigh,
         &FileConfig::aoSaturationHigh, "19.9", "20"},
        {W::WriteSaturation, ConfigRow::AoSaturationLow, Field::AoSaturationLow,
         &FileConfig::aoSaturationLow, "3.79", "3.8"},
        {W::WriteSaturation, ConfigRow::AoSaturationLow, Field::AoSaturationLow,
         &FileConfig::aoSaturationLow, "4.01", "4.000"},
        {W::WriteDamping, ConfigRow::PvDamping, Field::PvDamping, &FileConfig::pvDamping, "0.4",
         "0.5"},
        // No damping at all is the one value below the range.
        {W::WriteDamping, ConfigRow::PvDamping, Field::PvDamping, &FileConfig::pvDamping, "30.5",
         "0"},
        {W::WriteDriftAlarm, ConfigRow::PvDriftAlarm, Field::PvDriftAlarm,
         &FileConfig::pvDriftAlarm, "1000.5", "1000"},
        {W::WriteDriftAlarm, ConfigRow::PvDriftAlarm, Field::PvDriftAlarm,
         &FileConfig::pvDriftAlarm, "-1", "0"},
        {W::WriteWireResistance, ConfigRow::WireResistance, Field::WireResistance,
         &FileConfig::leadWireResistance, "20.01", "20"},
        {W::WritePvRange, ConfigRow::PvRange, Field::PvUpperRange, &FileConfig::pvUpperRange,
         "100000", "99999"},
        {W::WriteSensorRange, ConfigRow::SensorRange, Field::SensorLowerRange,
         &FileConfig::sensorLowerRange, "-100000", "-99999"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(FieldCaption(c.field)) + " " + c.refused);
        const NumberEntry entry = ConfigComparison::EntryOf(c.row);
        FileConfig values = SimulatorValues();
        WriteBuffer writes;

        values.*c.value = c.refused;
        EXPECT_FALSE(CheckNumberEntry(entry, c.refused).result);
        const StagingResult refused = StageDownloadStep(StepOf(c.request), values, writes);
        EXPECT_EQ(refused.status, StagingResult::Status::Invalid);
        EXPECT_EQ(refused.field, c.field);

        values.*c.value = c.limit;
        EXPECT_TRUE(CheckNumberEntry(entry, c.limit).result);
        EXPECT_TRUE(StageDownloadStep(StepOf(c.request), values, writes).ok());
    }
}

// The program's side of the line, with the chain given every notification first.
struct DownloadFixture : ::testing::Test, test::LinkRigOf<ScriptedPrompts> {
    ConfigDownload download{worker, controller, prompts};
    std::vector<int> steps;

    DownloadFixture() {
        controller.SetReconnectWaitMs(0);
        download.OnStep([this](int step, const DownloadStep&) { steps.push_back(step); });
    }
    ~DownloadFixture() override { worker.StopWorker(); }

    // Starts the download of `values` and runs it to its end.
    std::optional<ConfigDownload::Outcome> Run(const FileConfig& values) {
        download.Request(values);
        EXPECT_EQ(controller.ConnectDevice(), 200);
        SteadyClock real;
        const auto end = real.NowMs() + 10000;
        std::optional<ConfigDownload::Outcome> outcome;
        while (!outcome && real.NowMs() < end) {
            if (auto next = queue.WaitNext(20)) {
                // What the worker of an earlier case left queued, as the window drops it.
                if (next->notification.run != worker.RunNumber()) continue;
                if (!download.HandleNotification(next->notification)) {
                    controller.HandleNotification(next->notification);
                }
                outcome = download.TakeEnd();
            }
        }
        return outcome;
    }

    template <class F>
    decltype(auto) Device(F&& f) {
        return port.WithDevice([&](sim::SimDevice& d) -> decltype(auto) { return f(d); });
    }
};

const std::vector<int> kWriteCommands{18,  17,  131, 44,  35, 34, 148, 135, 47,
                                      136, 133, 155, 151, 49, 19, 142, 140, 138};

std::vector<int> Between(const std::vector<int>& commands, std::size_t from, std::size_t count) {
    if (from + count > commands.size()) return commands;
    return {commands.begin() + static_cast<long>(from),
            commands.begin() + static_cast<long>(from + count)};
}

TEST_F(DownloadFixture, WritesEveryStepInOrderThenIdentifiesAndUploadsAgain) {
    FileConfig values = SimulatorValues();
    values.tag = "new-tag";
    values.pvUpperRange = "150.000";
    values.pvDamping = "3.500";
    values.aoAlarmMode = "Low";
    values.aoSaturationLow = "3.850";
    values.finalAssemblyNo = "4242";
    ASSERT_EQ(Run(values), ConfigDownload::Outcome::Finished);

    const std::vector<int> commands = Commands();
    // Identification, re-identification, the 18 writes, then identification and upload.
    ASSERT_GE(commands.size(), 2u + 18u + 1u + 18u);
    EXPECT_EQ(Between(commands, 0, 2), (std::vector<int>{0, 0}));
    EXPECT_EQ(Between(commands, 2, 18), kWriteCommands);
    EXPECT_EQ(Between(commands, 20, 2), (std::vector<int>{0, 0}));  // 401, then the upload
    EXPECT_EQ(steps.size(), 18u);
    EXPECT_EQ(download.StepsWritten(), 18);
    EXPECT_EQ(download.LastRequest(), WorkerRequest::WriteSaturation);
    EXPECT_TRUE(download.FinishedWriting());
    EXPECT_EQ(view.shown.front(), "Download_Dev_Info");
    EXPECT_EQ(view.shown.back(), "Upload_Dev_Info");
    EXPECT_TRUE(view.established);
    EXPECT_TRUE(prompts.Messages().empty());

    Device([](sim::SimDevice& d) {
        EXPECT_EQ(d.State().tag, "NEW-TAG ");
        EXPECT_FLOAT_EQ(d.State().upperRange, 150.0f);
        EXPECT_FLOAT_EQ(d.State().damping, 3.5f);
        EXPECT_EQ(d.State().aoAlarmMode, 1);
        EXPECT_FLOAT_EQ(d.State().aoSaturationLow, 3.85f);
        EXPECT_EQ(d.State().finalAssemblyNo, 4242u);
    });
    // The record was read back after the writes.
    const FileConfig back = FileConfigFromDevice(worker.RecordSnapshot());
    EXPECT_EQ(back.pvUpperRange, "150.000");
    EXPECT_EQ(back.aoAlarmMode, "Low");
}

TEST_F(DownloadFixture, AnotherModelIsRefusedAndNothingIsWritten) {
    Device([](sim::SimDevice& d) { d = sim::SimDevice(sim::SimModel::QT30); });
    prompts.QueueAnswer(Answer::Ok);
    ASSERT_EQ(Run(SimulatorValues()), ConfigDownload::Outcome::Refused);
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0].key, "Err_Device_Not_Configurable");
    EXPECT_EQ(prompts.Messages()[0].args, (MessageArgs{std::string("QT30")}));
    EXPECT_EQ(prompts.Messages()[0].type, BoxType::OkInformation);
    for (int command : Commands()) {
        EXPECT_EQ(std::count(kWriteCommands.begin(), kWriteCommands.end(), command), 0)
            << "command " << command;
    }
    EXPECT_FALSE(download.Started());
    EXPECT_TRUE(steps.empty());
    EXPECT_TRUE(view.established);  // an ordinary connection goes on
}

TEST_F(DownloadFixture, AnEmptyDampingStopsAfterThePvRangeAndSaysSo) {
    FileConfig values = SimulatorValues();
    values.pvUpperRange = "120.000";
    values.pvDamping.clear();
    prompts.QueueAnswer(Answer::Ok);
    ASSERT_EQ(Run(values), ConfigDownload::Outcome::Stopped);
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0].key, "Err_Download_Empty_Value");
    EXPECT_EQ(prompts.Messages()[0].args, (MessageArgs{std::string("PV Damping")}));
    const std::vector<int> commands = Commands();
    EXPECT_EQ(Between(commands, 2, 5), (std::vector<int>{18, 17, 131, 44, 35}));
    EXPECT_EQ(std::count(commands.begin(), commands.end(), 34), 0);
    EXPECT_EQ(download.StepsWritten(), 5);
    EXPECT_EQ(download.StoppedAt(), 5);
    EXPECT_EQ(download.StoppedField(), Field::PvDamping);
    EXPECT_EQ(download.LastRequest(), WorkerRequest::WritePvRange);
    Device([](sim::SimDevice& d) { EXPECT_FLOAT_EQ(d.State().upperRange, 120.0f); });
    EXPECT_TRUE(view.established);  // polling again
}

// The message names the row, the value and the character; the device keeps
// its tag and date, as the first step is the one that stops.
TEST_F(DownloadFixture, ATagTheDeviceCannotStoreStopsAtTheFirstStepAndNamesIt) {
    FileConfig values = SimulatorValues();
    values.tag = "TT~7";
    prompts.QueueAnswer(Answer::Ok);
    ASSERT_EQ(Run(values), ConfigDownload::Outcome::Stopped);
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0].key, "Err_Download_Invalid_Char");
    EXPECT_EQ(prompts.Messages()[0].args,
              (MessageArgs{std::string("Tag No."), std::string("TT~7"), std::string("~")}));
    EXPECT_EQ(download.StoppedCharacter(), "~");
    EXPECT_EQ(download.StepsWritten(), 0);
    const std::vector<int> commands = Commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), 18), 0);
    Device([](sim::SimDevice& d) { EXPECT_EQ(d.State().tag, "TT-101  "); });
}

TEST_F(DownloadFixture, ARejectedStepAbortsTheChainThere) {
    Device([](sim::SimDevice& d) { d.Faults().responseCodeFor[148] = 3; });
    ASSERT_EQ(Run(SimulatorValues()), ConfigDownload::Outcome::Aborted);
    EXPECT_TRUE(download.AbortedFlag());
    EXPECT_EQ(download.StoppedAt(), 6);
    EXPECT_EQ(download.LastRequest(), WorkerRequest::WriteDriftAlarm);
    EXPECT_EQ(download.StepsWritten(), 6);
    const std::vector<int> commands = Commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), 135), 0);
    EXPECT_TRUE(prompts.Messages().empty());
}

// An alarm current beyond what the AO alarm panel takes: the chain stops
// before that step, says which value, and the device keeps its own.
TEST_F(DownloadFixture, AnAlarmCurrentNoEntryTakesStopsBeforeItIsSent) {
    FileConfig values = SimulatorValues();
    values.aoAlarmHigh = "25.000";
    prompts.QueueAnswer(Answer::Ok);
    ASSERT_EQ(Run(values), ConfigDownload::Outcome::Stopped);
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0].key, "Err_Download_Invalid_Value");
    EXPECT_EQ(prompts.Messages()[0].args,
              (MessageArgs{std::string(FieldCaption(Field::AoAlarmHigh)), std::string("25.000")}));
    EXPECT_EQ(download.StoppedField(), Field::AoAlarmHigh);
    EXPECT_EQ(download.StepsWritten(), 16);
    EXPECT_FALSE(download.AbortedFlag());
    const std::vector<int> commands = Commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), 140), 0);
    Device([](sim::SimDevice& d) { EXPECT_FLOAT_EQ(d.State().aoAlarmHigh, 21.75f); });
}

}  // namespace
}  // namespace qt40
