// The "Detailed Information" panel against the simulated QT40: identity rows,
// and the final assembly number, tag with descriptor and date, and message
// as they arrive in the device.

#include "tests/panels/PanelFixture.h"
#include "panels/CDetailedInfo.h"

namespace qt40 {
namespace {

class DetailedInfoTest : public PanelFixture {
protected:
    // A device whose stored date is not today, so the stamp can be seen.
    static sim::SimDevice OldDateDevice(sim::SimModel model = sim::SimModel::QT40) {
        sim::SimDevice device(model);
        device.State().day = 1;
        device.State().month = 2;
        device.State().yearSince1900 = 101;
        return device;
    }

    CDetailedInfo* Open() {
        window_->OpenPanel(CFunctionKeys::kDeviceInfo);
        auto* panel = dynamic_cast<CDetailedInfo*>(window_->PanelFor(CFunctionKeys::kDeviceInfo));
        EXPECT_TRUE(panel && panel->isVisible());
        return panel;
    }
};

TEST_F(DetailedInfoTest, ShowsTheIdentityAndTheTextsWithoutTheirPadding) {
    StartConnected(OldDateDevice());
    CDetailedInfo* panel = Open();
    ASSERT_TRUE(panel);
    EXPECT_FALSE(window_->SensorInfoPanel()->isVisible());
    const DeviceRecord r = window_->Worker().RecordSnapshot();
    EXPECT_EQ(Text(panel, "deviceType"), "QT40");
    EXPECT_EQ(Text(panel, "manufacturer").toStdString(), r.manufacturerName);
    EXPECT_EQ(Text(panel, "deviceId").toStdString(), r.deviceIdText);
    EXPECT_EQ(Text(panel, "softwareRev").toStdString(), r.firmwareRevText);
    EXPECT_EQ(Text(panel, "preambles").toStdString(), r.preamblesText);
    EXPECT_EQ(Text(panel, "finalAssemblyNo"), "120034");
    EXPECT_EQ(Text(panel, "tag"), "TT-101");
    EXPECT_EQ(Text(panel, "descriptor"), "REACTOR INLET");
    EXPECT_EQ(Text(panel, "message"), "QT40 SIMULATED TRANSMITTER");
    EXPECT_EQ(Text(panel, "date"), "2001/02/01");
    for (const char* name : {"finalAssemblyNoButton", "tagButton", "messageButton"}) {
        EXPECT_TRUE(Button(panel, name)->isEnabled()) << name;
    }

    panel->findChild<QPushButton*>("close")->click();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(window_->SensorInfoPanel()->isVisible());
}

TEST_F(DetailedInfoTest, ALowerCaseTagGoesUpperCaseWithABlankDescriptorAndToday) {
    StartConnected(OldDateDevice());
    CDetailedInfo* panel = Open();
    prompts_.QueueText("ab");
    prompts_.QueueText(" ");  // what the entry makes of an empty text
    Button(panel, "tagButton")->click();
    ASSERT_TRUE(WaitFor([&] { return Text(panel, "tag") == "AB"; }));

    Device([](sim::SimState& s) {
        EXPECT_EQ(s.tag, "AB      ");
        EXPECT_EQ(s.descriptor, std::string(16, ' '));
    });
    EXPECT_EQ(Text(panel, "descriptor"), "");
    EXPECT_EQ(Text(panel, "date").toStdString(), CDetailedInfo::TodayText());
    EXPECT_EQ(window_->Worker().RecordSnapshot().date, CDetailedInfo::TodayText());

    ASSERT_EQ(prompts_.TextEntries().size(), 2u);
    const TextEntry& tag = prompts_.TextEntries()[0];
    EXPECT_EQ(tag.titleKey, "Set_Tag_Text_Title");
    EXPECT_EQ(tag.promptKey, "Set_TAG_Text");
    EXPECT_EQ(tag.initialText, "TT-101");
    EXPECT_EQ(tag.lengthLimit, 8);
    EXPECT_EQ(tag.mode, TextMode::Text);
    const TextEntry& descriptor = prompts_.TextEntries()[1];
    EXPECT_EQ(descriptor.titleKey, "Set_Description_Text_Title");
    EXPECT_EQ(descriptor.promptKey, "Set_Description_Text");
    EXPECT_EQ(descriptor.initialText, "REACTOR INLET");
    EXPECT_EQ(descriptor.lengthLimit, 16);
}

// Packed ASCII holds no "~" or "|", and one byte holds the years 1900 to
// 2155: what the device cannot hold is refused by name, and nothing is sent.
TEST_F(DetailedInfoTest, ATextOrDateTheDeviceCannotHoldSendsNothing) {
    StartConnected(OldDateDevice());
    CDetailedInfo* panel = Open();
    prompts_.QueueText("ab~1");
    prompts_.QueueAnswer(Answer::Ok);
    Button(panel, "tagButton")->click();
    ASSERT_EQ(prompts_.Messages().size(), 1u);
    EXPECT_EQ(prompts_.Messages()[0].key, "Err_Packed_Char");
    EXPECT_EQ(prompts_.Messages()[0].args, MessageArgs{std::string("~")});
    ASSERT_EQ(prompts_.TextEntries().size(), 1u);  // no descriptor asked after it
    EXPECT_TRUE(prompts_.TextEntries()[0].packed);

    panel->SetToday([] { return std::string("2156/01/01"); });
    prompts_.QueueText("TT-9");
    prompts_.QueueText("DESC");
    prompts_.QueueAnswer(Answer::Ok);
    Button(panel, "tagButton")->click();
    ASSERT_EQ(prompts_.Messages().size(), 2u);
    EXPECT_EQ(prompts_.Messages()[1].key, "Err_Date_Not_Storable");
    EXPECT_EQ(prompts_.Messages()[1].args,
              (MessageArgs{std::string("Date"), std::string("2156/01/01")}));

    prompts_.QueueText("hot|cold");
    prompts_.QueueAnswer(Answer::Ok);
    Button(panel, "messageButton")->click();
    ASSERT_EQ(prompts_.Messages().size(), 3u);
    EXPECT_EQ(prompts_.Messages()[2].args, MessageArgs{std::string("|")});
    EXPECT_TRUE(prompts_.TextEntries().back().packed);

    ASSERT_TRUE(LetPollsPass());
    Device([](sim::SimState& s) {
        EXPECT_EQ(s.tag, "TT-101  ");
        EXPECT_EQ(s.yearSince1900, 101);
        EXPECT_EQ(s.message, "QT40 SIMULATED TRANSMITTER      ");
    });
    EXPECT_TRUE(window_->isEnabled());
}

TEST_F(DetailedInfoTest, ACancelledDescriptorSendsTheDevicesOwnNotAStaleOne) {
    StartConnected(OldDateDevice());
    CDetailedInfo* panel = Open();
    window_->Worker().WithSession([](DeviceState& s) { s.writes.descriptor = "STALE STAGED    "; });
    prompts_.QueueText("tt-202");
    prompts_.QueueText(std::nullopt);
    Button(panel, "tagButton")->click();
    ASSERT_TRUE(WaitFor([&] { return Text(panel, "tag") == "TT-202"; }));
    Device([](sim::SimState& s) {
        EXPECT_EQ(s.tag, "TT-202  ");
        EXPECT_EQ(s.descriptor, "REACTOR INLET   ");
    });
    EXPECT_EQ(Text(panel, "descriptor"), "REACTOR INLET");
    EXPECT_EQ(Text(panel, "date").toStdString(), CDetailedInfo::TodayText());
}

TEST_F(DetailedInfoTest, AMessageIsSentPaddedAndUpperCase) {
    StartConnected();
    CDetailedInfo* panel = Open();
    prompts_.QueueText("Loop 4 / line b");
    Button(panel, "messageButton")->click();
    ASSERT_TRUE(WaitFor([&] { return Text(panel, "message") == "LOOP 4 / LINE B"; }));
    Device([](sim::SimState& s) { EXPECT_EQ(s.message, "LOOP 4 / LINE B                 "); });
    ASSERT_EQ(prompts_.TextEntries().size(), 1u);
    EXPECT_EQ(prompts_.TextEntries()[0].titleKey, "Set_Message_Text_Title");
    EXPECT_EQ(prompts_.TextEntries()[0].promptKey, "Set_Message_Text");
    EXPECT_EQ(prompts_.TextEntries()[0].initialText, "QT40 SIMULATED TRANSMITTER");
    EXPECT_EQ(prompts_.TextEntries()[0].lengthLimit, 32);
}

TEST_F(DetailedInfoTest, FinalAssemblyNumbersUpToTwentyFourBits) {
    StartConnected();
    CDetailedInfo* panel = Open();
    const struct {
        const char* typed;
        std::uint32_t sent;
        const char* shown;
    } cases[] = {
        {"16777215", 16777215, "16777215"},
        {"12.9", 12, "12"},
        {"0", 0, "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        prompts_.QueueNumber(Typed(c.typed));
        Button(panel, "finalAssemblyNoButton")->click();
        ASSERT_TRUE(WaitFor([&] { return Text(panel, "finalAssemblyNo") == c.shown; }));
        Device([&](sim::SimState& s) { EXPECT_EQ(s.finalAssemblyNo, c.sent); });
    }
    ASSERT_EQ(prompts_.NumberEntries().size(), 3u);
    const NumberEntry& asked = prompts_.NumberEntries()[0];
    EXPECT_EQ(asked.titleKey, "Set_FinalAssemblyNo_Value_Title");
    EXPECT_EQ(asked.promptKey, "Set_FinalAssemblyNo_val");
    EXPECT_EQ(asked.initialText, "120034");
    EXPECT_EQ(asked.minimum, 0);
    EXPECT_EQ(asked.maximum, 16777215);
    EXPECT_TRUE(asked.rangeMessage);
    // The entry as asked takes the largest 24-bit number and refuses one more.
    EXPECT_TRUE(CheckNumberEntry(asked, "16777215").result);
    EXPECT_EQ(CheckNumberEntry(asked, "16777216").errorKey, "Err_Range_Input");
    EXPECT_TRUE(CheckNumberEntry(asked, "0").result);
    EXPECT_EQ(prompts_.NumberEntries()[1].initialText, "16777215");
}

TEST_F(DetailedInfoTest, CancelAtAnyStepSendsNothing) {
    StartConnected();
    CDetailedInfo* panel = Open();
    const sim::SimState before = Device([](sim::SimState& s) { return s; });

    prompts_.QueueNumber(std::nullopt);
    Button(panel, "finalAssemblyNoButton")->click();
    prompts_.QueueText(std::nullopt);
    Button(panel, "tagButton")->click();
    prompts_.QueueText(std::nullopt);
    Button(panel, "messageButton")->click();
    EXPECT_TRUE(window_->isEnabled());
    ASSERT_TRUE(LetPollsPass());

    Device([&](sim::SimState& s) {
        EXPECT_EQ(s.finalAssemblyNo, before.finalAssemblyNo);
        EXPECT_EQ(s.tag, before.tag);
        EXPECT_EQ(s.descriptor, before.descriptor);
        EXPECT_EQ(s.message, before.message);
        EXPECT_EQ(s.day, before.day);
        EXPECT_FALSE(s.configChanged);
    });
    EXPECT_EQ(prompts_.TextEntries().size(), 2u);  // the tag's cancel ends the action
}

TEST_F(DetailedInfoTest, AnotherModelMayOnlyChangeItsMessage) {
    StartConnected(OldDateDevice(sim::SimModel::QT30));
    CDetailedInfo* panel = Open();
    EXPECT_EQ(Text(panel, "deviceType"), "QT30");
    EXPECT_FALSE(Button(panel, "finalAssemblyNoButton")->isEnabled());
    EXPECT_FALSE(Button(panel, "tagButton")->isEnabled());
    ASSERT_TRUE(Button(panel, "messageButton")->isEnabled());

    prompts_.QueueText("qt30 here");
    Button(panel, "messageButton")->click();
    ASSERT_TRUE(WaitFor([&] { return Text(panel, "message") == "QT30 HERE"; }));
    Device([](sim::SimState& s) { EXPECT_EQ(s.message.substr(0, 10), "QT30 HERE "); });
}

TEST_F(DetailedInfoTest, AWriteThatIsGivenUpLeavesDeviceAndPanelAsTheyWere) {
    StartConnected();
    CDetailedInfo* panel = Open();
    DropEveryAnswerTo(19);
    prompts_.QueueNumber(Typed("42"));
    Button(panel, "finalAssemblyNoButton")->click();
    ASSERT_TRUE(WaitFor([&] { return !panel->isVisible(); }));

    EXPECT_FALSE(window_->Connection().Connected());
    ASSERT_EQ(prompts_.Messages().size(), 1u);
    EXPECT_EQ(prompts_.Messages()[0].key, "Err_COM");
    EXPECT_TRUE(window_->SensorInfoPanel()->isVisible());
    EXPECT_TRUE(window_->isEnabled());
    EXPECT_EQ(Text(panel, "finalAssemblyNo"), "120034");
    EXPECT_EQ(window_->Worker().RecordSnapshot().finalAssemblyNo, 120034u);
    Device([](sim::SimState& s) { EXPECT_EQ(s.finalAssemblyNo, 120034u); });
}

}  // namespace
}  // namespace qt40
