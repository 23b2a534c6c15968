// The field tables the comparison pages, the download and the command line
// read, and the row editor driven by them: every line shown belongs to one
// row and travels with its copy, and a "CHG" given up at any question
// leaves both columns as they were.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "files/ConfigComparison.h"
#include "files/ConfigFields.h"
#include "files/ConfigRowEditor.h"
#include "files/FileConfigFromDevice.h"
#include "model/CglobalFile.h"
#include "model/ScriptedPrompts.h"

namespace qt40 {
namespace {

bool Holds(const std::vector<Field>& fields, Field field) {
    return std::find(fields.begin(), fields.end(), field) != fields.end();
}

using Member = std::string FileConfig::*;

// Member pointers have no order, so a plain list stands in for a set.
bool AddOnce(std::vector<Member>& members, Member member) {
    if (std::find(members.begin(), members.end(), member) != members.end()) return false;
    members.push_back(member);
    return true;
}

TEST(ConfigFieldsTest, EveryValueIsALineOfOneRowAndTravelsWithItsCopy) {
    std::vector<Member> members;
    for (int i = 0; i < kFieldCount; ++i) {
        const auto field = static_cast<Field>(i);
        int rows = 0;
        for (int r = 0; r < kRowCount; ++r) {
            rows += Holds(LinesOf(static_cast<ConfigRow>(r)), field) ? 1 : 0;
        }
        EXPECT_EQ(rows, IsValueField(field) ? 1 : 0) << FieldCaption(field);
        if (IsValueField(field)) {
            EXPECT_TRUE(AddOnce(members, FieldMember(field))) << FieldCaption(field);
        }
    }
    for (int r = 0; r < kRowCount; ++r) {
        const auto row = static_cast<ConfigRow>(r);
        for (Field line : LinesOf(row)) {
            EXPECT_TRUE(Holds(CopyGroup(row), line)) << "row " << r << " " << FieldCaption(line);
        }
        // A row whose value carries a PV unit carries the captions showing it.
        if (Holds(CopyGroup(row), Field::PvUnit)) {
            for (Field unit : PvUnitGroup()) EXPECT_TRUE(Holds(CopyGroup(row), unit)) << r;
        }
    }
}

TEST(ConfigFieldsTest, StoredValuesAreEveryShownValueAndTheHiddenOnesByDistinctNames) {
    std::vector<Member> stored;
    std::set<std::string> captions;
    for (const StoredValue& v : StoredValues()) {
        EXPECT_TRUE(AddOnce(stored, v.value)) << v.caption;
        ASSERT_NE(v.caption, nullptr);
        EXPECT_TRUE(captions.insert(v.caption).second) << v.caption;
    }
    EXPECT_EQ(stored.size(), StoredValues().size());
    std::size_t shown = 0;
    for (int i = 0; i < kFieldCount; ++i) {
        const auto field = static_cast<Field>(i);
        if (!IsValueField(field)) continue;
        ++shown;
        EXPECT_FALSE(AddOnce(stored, FieldMember(field))) << FieldCaption(field);
    }
    EXPECT_EQ(shown + HiddenValues().size(), StoredValues().size());
    for (const StoredValue& v : HiddenValues()) {
        for (int i = 0; i < kFieldCount; ++i) {
            EXPECT_NE(FieldMember(static_cast<Field>(i)), v.value) << v.caption;
        }
    }
}

// Both columns differ from each other in every value, and the file column is
// partly pink after "Compare", so a restored colour is not just the default.
ConfigComparison Marked() {
    DeviceRecord device;
    device.SetStartValues();
    device.tag = "TT-101";
    device.sensorType = 12;
    device.upperRange = 100.0;
    FileConfig file = FileConfigFromDevice(device);
    file.tag = "FILE";
    file.pvUpperRange = "250.000";
    file.sensorUpperRange = "500.000";
    ConfigComparison m;
    m.LoadDevice(device);
    m.LoadFile(file);
    m.Compare(Side::File);
    return m;
}

void ExpectUnchanged(const ConfigComparison& before, const ConfigComparison& after,
                     const std::string& what) {
    for (Side side : {Side::File, Side::Device}) {
        for (int i = 0; i < kFieldCount; ++i) {
            const auto f = static_cast<Field>(i);
            EXPECT_EQ(after.Text(side, f), before.Text(side, f)) << what << " " << FieldCaption(f);
            EXPECT_EQ(after.Colour(side, f), before.Colour(side, f))
                << what << " " << FieldCaption(f);
        }
    }
}

SelectionResult At(EnumKind kind, int position) {
    return {position, *CglobalFile::CodeAt(kind, position)};
}

TEST(ConfigRowEditorTest, AChangeGivenUpAtAnyQuestionLeavesBothColumnsAsTheyWere) {
    NumberResult number;
    number.formattedText = "1.000";
    number.value = 1.0;
    for (Side side : {Side::File, Side::Device}) {
        // Given up at the first question, whatever its kind.
        for (int r = 0; r < kRowCount; ++r) {
            const auto row = static_cast<ConfigRow>(r);
            ConfigComparison m = Marked();
            const ConfigComparison before = m;
            ScriptedPrompts prompts;
            if (NumberRuleOf(row)) {
                prompts.QueueNumber(std::nullopt);
            } else if (TextRuleOf(LinesOf(row).front())) {
                prompts.QueueText(std::nullopt);
            } else if (row != ConfigRow::DeviceId) {
                prompts.QueueSelection(std::nullopt);
            }
            EXPECT_FALSE(ConfigRowEditor(m, prompts).Edit(row, side)) << "row " << r;
            ExpectUnchanged(before, m, "row " + std::to_string(r));
        }
        // Given up at the second: the first answer is not kept alone.
        for (int position : {0, 14}) {
            ConfigComparison m = Marked();
            const ConfigComparison before = m;
            ScriptedPrompts prompts;
            prompts.QueueSelection(At(EnumKind::SensorType, position));
            prompts.QueueSelection(std::nullopt);
            EXPECT_FALSE(ConfigRowEditor(m, prompts).Edit(ConfigRow::SensorType, side));
            ExpectUnchanged(before, m, "sensor type " + std::to_string(position));
        }
        for (ConfigRow row : {ConfigRow::PvRange, ConfigRow::SensorRange}) {
            ConfigComparison m = Marked();
            const ConfigComparison before = m;
            ScriptedPrompts prompts;
            prompts.QueueNumber(number);
            prompts.QueueNumber(std::nullopt);
            EXPECT_FALSE(ConfigRowEditor(m, prompts).Edit(row, side));
            ExpectUnchanged(before, m, "range row");
        }
    }
}

TEST(ConfigRowEditorTest, EveryNumberRowAsksWithItsOwnKeysForEachEnd) {
    std::set<std::string> titles;
    for (int r = 0; r < kRowCount; ++r) {
        const auto row = static_cast<ConfigRow>(r);
        const NumberRowRule* rule = NumberRuleOf(row);
        const NumberEntry upper = ConfigRowEditor::EntryOf(row);
        if (!rule) {
            EXPECT_TRUE(upper.titleKey.empty()) << r;
            continue;
        }
        EXPECT_TRUE(titles.insert(upper.titleKey).second) << upper.titleKey;
        EXPECT_LT(upper.minimum, upper.maximum) << upper.titleKey;
        if (LinesOf(row).size() == 2) {
            const NumberEntry lower = ConfigRowEditor::EntryOf(row, true);
            EXPECT_TRUE(titles.insert(lower.titleKey).second) << lower.titleKey;
            EXPECT_NE(lower.promptKey, upper.promptKey) << lower.titleKey;
        }
    }
}

}  // namespace
}  // namespace qt40
