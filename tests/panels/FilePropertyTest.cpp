// The two file comparison pages against the simulated QT40: reading a file,
// comparing, copying, editing, and the download with its re-upload.

#include "tests/panels/PanelFixture.h"
#include "files/CFilePropertyReadWrite.h"
#include "files/FileConfigFromDevice.h"
#include "monitor/CDisplayArea.h"
#include "panels/CFileProperty.h"
#include "panels/CFileProperty2.h"

namespace qt40 {
namespace {

class FilePropertyTest : public PanelFixture {
protected:
    CFileProperty* Open() {
        window_->OpenPanel(CFunctionKeys::kFile);
        auto* page = dynamic_cast<CFileProperty*>(window_->PanelFor(CFunctionKeys::kFile));
        EXPECT_TRUE(page && page->isVisible());
        return page;
    }

    // "Upload" and wait until the device column shows the device.
    void Upload(CFileProperty* page) {
        Button(page, "upload")->click();
        ASSERT_TRUE(WaitFor([&] { return !page->Model().Text(Side::Device, Field::Tag).empty(); }));
        ASSERT_TRUE(WaitFor([&] { return window_->isEnabled(); }));
    }

    // Saves `config` as a file and reads it with "Read File".
    void ReadFile(CFileProperty* page, const FileConfig& config) {
        const std::string path = dir_.filePath("plant.txt").toStdString();
        ASSERT_TRUE(SaveConfigFile(path, config).ok());
        prompts_.QueueFileName(path);
        Button(page, "readFile")->click();
    }

    FileConfig DeviceFile() { return FileConfigFromDevice(window_->Worker().RecordSnapshot()); }

    // "Download", and wait for the end of the sequence.
    void Download(CFileProperty* page) {
        steps_.clear();
        page->Download().OnStep(
            [this](int, const DownloadStep& s) { steps_.push_back(CodeOf(s.request)); });
        Button(page, "download")->click();
        ASSERT_TRUE(WaitFor([&] {
            return page->Download().LastOutcome().has_value() && !page->Download().Requested() &&
                   window_->isEnabled();
        }));
    }

    std::vector<int> steps_;
};

// A file is anyone's text: its unit name shows as written, never as markup,
// and so does every other label of the window.
TEST_F(FilePropertyTest, FileTextShowsAsPlainTextEverywhere) {
    StartConnected();
    CFileProperty* page = Open();
    ASSERT_TRUE(page);
    FileConfig file = DeviceFile();
    file.pvUnit = "<h1>degC</h1>";
    file.tag = "<b>T</b>";
    ReadFile(page, file);
    auto* unit = page->findChild<QLabel*>("fileUnit_pvUpperRange");
    ASSERT_TRUE(unit);
    EXPECT_EQ(unit->text(), "<h1>degC</h1>");
    for (const QLabel* label : window_->findChildren<QLabel*>()) {
        EXPECT_EQ(label->textFormat(), Qt::PlainText)
            << label->objectName().toStdString() << ": " << label->text().toStdString();
    }
}

TEST_F(FilePropertyTest, TheFilesTagDiffersOnlyThereAndPageTwoIsComparedToo) {
    StartConnected();
    CFileProperty* page = Open();
    ASSERT_TRUE(page);
    EXPECT_FALSE(window_->SensorInfoPanel()->isVisible());
    EXPECT_FALSE(window_->Monitor()->isVisible());
    Upload(page);
    EXPECT_EQ(Text(page, "device_tag"), "TT-101  ");
    EXPECT_EQ(Text(page, "device_pvDamping"), "2.000");
    EXPECT_EQ(Text(page, "deviceUnit_pvUpperRange"), "degC");

    FileConfig file = DeviceFile();
    file.tag = "TT-102";
    file.aoAlarmHigh = "22.000";
    ReadFile(page, file);
    EXPECT_EQ(Text(page, "file_tag"), "TT-102");
    Button(page, "compareFile")->click();

    CFileProperty2* second = page->SecondPage();
    for (int i = 0; i < kFieldCount; ++i) {
        const auto f = static_cast<Field>(i);
        CComparisonPage* shown =
            page->Value(Side::File, f) ? static_cast<CComparisonPage*>(page) : second;
        if (!shown->Value(Side::File, f)) continue;
        const bool pink = f == Field::Tag || f == Field::AoAlarmHigh;
        EXPECT_EQ(shown->ValueColour(Side::File, f) == CComparisonPage::kDiffersColour, pink)
            << FieldCaption(f);
        EXPECT_NE(shown->ValueColour(Side::Device, f), CComparisonPage::kDiffersColour)
            << FieldCaption(f);
    }

    // ">" on equal texts leaves the colour; on different texts it copies in yellow.
    const QColor descriptorBefore = page->ValueColour(Side::Device, Field::Descriptor);
    Button(page, "toDevice_descriptor")->click();
    EXPECT_EQ(page->ValueColour(Side::Device, Field::Descriptor), descriptorBefore);
    Button(page, "toDevice_tag")->click();
    EXPECT_EQ(Text(page, "device_tag"), "TT-102");
    EXPECT_EQ(page->ValueColour(Side::Device, Field::Tag), CComparisonPage::kChangedColour);

    // "Page" shows the other page in the same place; "EXIT" gives the window back.
    Button(page, "page")->click();
    EXPECT_FALSE(page->isVisible());
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(Text(second, "file_aoAlarmHigh"), "22.000");
    Button(second, "close")->click();
    EXPECT_FALSE(second->isVisible());
    EXPECT_TRUE(window_->SensorInfoPanel()->isVisible());
    EXPECT_TRUE(window_->Monitor()->isVisible());
}

TEST_F(FilePropertyTest, TypeSOnTheFileSideBringsItsDefaultsAndTheRangeRefusesTooMuch) {
    StartConnected();
    CFileProperty* page = Open();
    Upload(page);
    const auto pick = [](EnumKind kind, const char* name) {
        const int position = CglobalFile::FindByName(CglobalFile::Pair(kind).names, name);
        return SelectionResult{position, *CglobalFile::CodeAt(kind, position)};
    };
    prompts_.QueueSelection(pick(EnumKind::SensorType, "Type S"));
    prompts_.QueueSelection(pick(EnumKind::MeasurementType, "Single"));
    Button(page, "fileChange_sensorType")->click();
    EXPECT_EQ(Text(page, "file_sensorType"), "Type S");
    EXPECT_EQ(Text(page, "file_pvUnit"), "degC");
    EXPECT_EQ(Text(page, "file_pvUpperRange"), "1760.00");
    EXPECT_EQ(Text(page, "file_pvLowerRange"), "-50.00");
    EXPECT_EQ(Text(page, "file_measurementType"), "Single");
    EXPECT_EQ(Text(page, "fileUnit_pvUpperRange"), "degC");
    EXPECT_EQ(page->ValueColour(Side::File, Field::PvUpperRange), CComparisonPage::kChangedColour);
    EXPECT_EQ(Text(page, "device_sensorType"), "Pt100");

    prompts_.QueueNumber(std::nullopt);
    Button(page, "fileChange_pvUpperRange")->click();
    ASSERT_EQ(prompts_.NumberEntries().size(), 1u);
    const NumberEntry& upper = prompts_.NumberEntries()[0];
    EXPECT_EQ(upper.titleKey, "Set_PV_Upper_Range_File");
    EXPECT_EQ(upper.initialText, "1760.00");
    EXPECT_EQ(CheckNumberEntry(upper, "100000").errorKey, "Err_Calibration_Value_Invalid");
    EXPECT_EQ(Text(page, "file_pvUpperRange"), "1760.00");
}

TEST_F(FilePropertyTest, DownloadWritesEveryRowInOrderAndShowsWhatWasReadBack) {
    StartConnected();
    CFileProperty* page = Open();
    Upload(page);
    FileConfig file = DeviceFile();
    file.tag = "CLONE-7";
    file.message = "RESTORED";
    file.sensorWires = "4 Wires";
    file.pvUpperRange = "400.000";
    file.pvDamping = "4.000";
    file.cjcMode = "Constant CJC";
    file.sensorSerialNo = "777";
    file.aoAlarmLow = "3.780";
    file.aoSaturationHigh = "21.000";
    ReadFile(page, file);
    Button(page, "allCopyToDevice")->click();
    EXPECT_EQ(page->ValueColour(Side::Device, Field::Tag), CComparisonPage::kChangedColour);
    Download(page);

    EXPECT_EQ(page->Download().LastOutcome(), ConfigDownload::Outcome::Finished);
    EXPECT_EQ(steps_, (std::vector<int>{418, 419, 404, 406, 408, 410, 411, 412, 414, 415, 413, 442,
                                        420, 426, 427, 429, 431, 430}));
    Device([](sim::SimState& s) {
        EXPECT_EQ(s.tag, "CLONE-7 ");
        EXPECT_EQ(s.message, "RESTORED" + std::string(24, ' '));
        EXPECT_FLOAT_EQ(s.upperRange, 400.0f);
        EXPECT_FLOAT_EQ(s.damping, 4.0f);
        EXPECT_EQ(s.sensorSerialNo, 777u);
        EXPECT_FLOAT_EQ(s.aoAlarmLow, 3.78f);
        EXPECT_FLOAT_EQ(s.aoSaturationHigh, 21.0f);
        EXPECT_EQ(s.sensorWires, 4);
    });
    // The device column shows what the device holds now, in normal colours.
    EXPECT_EQ(Text(page, "device_tag"), "CLONE-7 ");
    EXPECT_EQ(Text(page, "device_sensorWires"), "4 Wires");
    EXPECT_EQ(Text(page, "device_pvUpperRange"), "400.000");
    EXPECT_EQ(Text(page->SecondPage(), "device_cjcMode"), "Constant CJC");
    EXPECT_NE(page->ValueColour(Side::Device, Field::Tag), CComparisonPage::kChangedColour);
    EXPECT_TRUE(prompts_.Messages().empty());
    EXPECT_TRUE(window_->Connection().Connected());
    EXPECT_TRUE(page->isVisible());
}

TEST_F(FilePropertyTest, DownloadToAnotherModelIsRefusedAndWritesNothing) {
    StartConnected(sim::SimDevice(sim::SimModel::QT30));
    CFileProperty* page = Open();
    FileConfig file = FileConfigFromDevice(window_->Worker().RecordSnapshot());
    file.tag = "CLONE-7";
    ReadFile(page, file);
    Button(page, "allCopyToDevice")->click();
    prompts_.QueueAnswer(Answer::Ok);
    const auto before = Device([](sim::SimState& s) { return s; });
    Download(page);
    EXPECT_EQ(page->Download().LastOutcome(), ConfigDownload::Outcome::Refused);
    ASSERT_EQ(prompts_.Messages().size(), 1u);
    EXPECT_EQ(prompts_.Messages()[0].key, "Err_Device_Not_Configurable");
    EXPECT_EQ(prompts_.Messages()[0].args, (MessageArgs{std::string("QT30")}));
    EXPECT_TRUE(steps_.empty());
    Device([&](sim::SimState& s) {
        EXPECT_EQ(s.tag, before.tag);
        EXPECT_EQ(s.message, before.message);
        EXPECT_FLOAT_EQ(s.damping, before.damping);
    });
    EXPECT_EQ(Text(page, "device_tag"), "CLONE-7");  // the working copy stays
}

TEST_F(FilePropertyTest, AnEmptyDampingStopsAfterThePvRangeWithAMessage) {
    StartConnected();
    CFileProperty* page = Open();
    Upload(page);
    FileConfig file = DeviceFile();
    file.tag = "HALF";
    file.pvUpperRange = "300.000";
    file.pvDamping.clear();
    file.aoAlarmMode = "Low";
    ReadFile(page, file);
    Button(page, "allCopyToDevice")->click();
    EXPECT_EQ(Text(page, "device_pvDamping"), "");
    prompts_.QueueAnswer(Answer::Ok);
    Download(page);

    EXPECT_EQ(page->Download().LastOutcome(), ConfigDownload::Outcome::Stopped);
    EXPECT_EQ(steps_, (std::vector<int>{418, 419, 404, 406, 408}));
    ASSERT_EQ(prompts_.Messages().size(), 1u);
    EXPECT_EQ(prompts_.Messages()[0].key, "Err_Download_Empty_Value");
    EXPECT_EQ(prompts_.Messages()[0].args, (MessageArgs{std::string("PV Damping")}));
    Device([](sim::SimState& s) {
        EXPECT_EQ(s.tag, "HALF    ");
        EXPECT_FLOAT_EQ(s.upperRange, 300.0f);
        EXPECT_EQ(s.aoAlarmMode, 0);  // after the stop: not written
    });
    // The rows written show what the device took; the rest keep the working copy.
    EXPECT_EQ(Text(page, "device_tag"), "HALF    ");
    EXPECT_EQ(Text(page, "device_pvDamping"), "");
    EXPECT_EQ(Text(page->SecondPage(), "device_aoAlarmMode"), "Low");
    EXPECT_TRUE(window_->Connection().Connected());
}

// Switched to Japanese, both file pages carry no English label but the unit
// "mA" ("Sec" was one).
TEST_F(FilePropertyTest, InJapaneseNoLabelOfTheFilePagesStaysEnglish) {
    StartConnected();
    CResourceDatabase english;
    english.Init();
    english.Load("English.lng");
    window_->Settings().displayLanguage = "Japanese.lng";
    window_->ApplyLanguage(false);
    CFileProperty* page = Open();
    Button(page, "page")->click();
    ASSERT_TRUE(page->SecondPage()->isVisible());
    int checked = 0;
    for (QWidget* shown :
         {static_cast<QWidget*>(page), static_cast<QWidget*>(page->SecondPage())}) {
        const int dialog = shown == page ? CFileProperty::kDialogId : CFileProperty2::kDialogId;
        for (QWidget* control : shown->findChildren<QWidget*>()) {
            const int id = control->property("controlId").toInt();
            const std::string englishText = english.GuiText(dialog, id);
            if (id == 0 || englishText.empty() || englishText == "mA") continue;
            QString text;
            if (auto* label = qobject_cast<QLabel*>(control)) text = label->text();
            if (auto* button = qobject_cast<QPushButton*>(control)) text = button->text();
            ++checked;
            EXPECT_NE(text.toStdString(), englishText) << dialog << " " << id;
        }
    }
    EXPECT_GT(checked, 20);
    page->SecondPage()->Show(false);
}

}  // namespace
}  // namespace qt40
