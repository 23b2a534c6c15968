#include "files/ConfigRowEditor.h"

#include <cstddef>
#include <string>

#include "model/EntryRules.h"
#include "model/NumberText.h"
#include "model/SensorDefaults.h"

namespace qt40 {
namespace {

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool InRange(const std::optional<SelectionResult>& chosen, const EnumPair& pair) {
    return chosen && chosen->position >= 0 &&
           chosen->position < static_cast<int>(pair.names.size());
}

}  // namespace

ConfigRowEditor::ConfigRowEditor(ConfigComparison& comparison, Prompts& prompts)
    : comparison_(comparison), prompts_(prompts) {}

NumberEntry ConfigRowEditor::EntryOf(ConfigRow row, bool lowerEnd) {
    NumberEntry entry;
    const NumberRowRule* rule = NumberRuleOf(row);
    if (!rule) return entry;
    entry.titleKey = rule->titleKey;
    entry.promptKey = rule->promptKey;
    if (lowerEnd && row == ConfigRow::PvRange) {
        entry.titleKey = "Set_PV_Lower_Range_File";
        entry.promptKey = "Set_PV_Lower_Range";
    } else if (lowerEnd && row == ConfigRow::SensorRange) {
        entry.titleKey = "Set_Sensor_Lower_Range_File";
        entry.promptKey = "Set_Sensor_Lower_val";
    }
    const ValueRule& limits = RuleOf(rule->value);
    entry.minimum = limits.minimum;
    entry.maximum = limits.maximum;
    entry.rangeMessage = rule->rangeMessage;
    entry.zeroAllowed = limits.zeroAllowed;
    if (limits.unit == UnitRule::Milliamps) {
        entry.promptArgs = {FormatFixed(limits.minimum, 2), FormatFixed(limits.maximum, 2),
                            std::string("mA")};
    }
    return entry;
}

bool ConfigRowEditor::EditNumber(ConfigRow row, Side side, Field field, bool lowerEnd) {
    const NumberRowRule* rule = NumberRuleOf(row);
    if (!rule) return false;
    NumberEntry entry = EntryOf(row, lowerEnd);
    entry.initialText = Trimmed(comparison_.Text(side, field));
    const ValueRule& limits = RuleOf(rule->value);
    if (row == ConfigRow::PvDriftAlarm) {
        // The drift alarm is in the PV unit shown on this side.
        entry.promptArgs = {FormatFixed(limits.minimum, 2), FormatFixed(limits.maximum, 2),
                            comparison_.Text(side, Field::PvUnit)};
    }
    const auto result = prompts_.EnterNumber(entry);
    if (!result) return false;
    std::string shown = result->formattedText;
    if (limits.decimals == -1) {
        shown = FormatTruncated(result->value);
    } else if (limits.decimals != 3) {
        shown = FormatFixed(result->value, limits.decimals, 4);
    }
    comparison_.SetText(side, field, shown);
    return true;
}

bool ConfigRowEditor::EditRange(ConfigRow row, Side side) {
    // Both ends or nothing: a cancelled lower end keeps the upper one too.
    const Field upper = LinesOf(row)[0];
    const Field lower = LinesOf(row)[1];
    const std::string before = comparison_.Text(side, upper);
    const Highlight colour = comparison_.Colour(side, upper);
    if (!EditNumber(row, side, upper, false)) return false;
    if (!EditNumber(row, side, lower, true)) {
        comparison_.SetText(side, upper, before);
        comparison_.Mark(side, {upper}, colour);
        return false;
    }
    return true;
}

bool ConfigRowEditor::EditText(Side side, Field field) {
    const TextFieldRule* rule = TextRuleOf(field);
    if (!rule) return false;
    TextEntry entry;
    entry.titleKey = rule->titleKey;
    entry.promptKey = rule->promptKey;
    entry.mode = rule->mode;
    entry.lengthLimit = rule->limit;
    entry.packed = rule->packed;
    entry.initialText = Trimmed(comparison_.Text(side, field));
    const auto text = prompts_.EnterText(entry);
    if (!text) return false;
    // What comes back passes the entry's own rule, whoever answered.
    const TextVerdict verdict = CheckTextEntry(entry, *text);
    if (!verdict.result) {
        prompts_.Message(verdict.errorKey, verdict.errorArgs, BoxType::OkWarning);
        return false;
    }
    comparison_.SetText(side, field, *verdict.result);
    return true;
}

bool ConfigRowEditor::EditSelection(Side side, Field field, const char* titleKey, EnumKind kind) {
    const EnumPair& pair = CglobalFile::Pair(kind);
    Selection selection;
    selection.titleKey = titleKey;
    selection.names = pair.names;
    selection.codes = pair.codes;
    selection.preselectName = comparison_.Text(side, field);
    const auto chosen = prompts_.Select(selection);
    if (!InRange(chosen, pair)) return false;
    comparison_.SetText(side, field, pair.names[static_cast<std::size_t>(chosen->position)]);
    return true;
}

bool ConfigRowEditor::EditSensorType(Side side) {
    const EnumPair& types = CglobalFile::Pair(EnumKind::SensorType);
    Selection selection;
    selection.titleKey = "Select_Sensor_Type";
    selection.names = types.names;
    selection.codes = types.codes;
    selection.preselectName = comparison_.Text(side, Field::SensorType);
    const auto type = prompts_.Select(selection);
    if (!InRange(type, types)) return false;
    const int position = type->position;
    const EnumPair& wires = CglobalFile::Pair(EnumKind::Wires);
    const EnumPair& measurements = CglobalFile::Pair(EnumKind::MeasurementType);
    // Resistance sensors and RTDs take a wire count, the others a measurement type.
    const bool byWires = position > 13;
    const EnumPair& asked = byWires ? wires : measurements;
    Selection second;
    second.titleKey = byWires ? "Select_Wire_Type" : "Select_Measurement_Type";
    second.names = asked.names;
    second.codes = asked.codes;
    second.preselectName =
        comparison_.Text(side, byWires ? Field::SensorWires : Field::MeasurementType);
    const auto chosen = prompts_.Select(second);
    if (!InRange(chosen, asked)) return false;
    const std::string& chosenName = asked.names[static_cast<std::size_t>(chosen->position)];
    comparison_.SetText(side, Field::SensorType, types.names[static_cast<std::size_t>(position)]);
    comparison_.SetText(side, Field::SensorWires, byWires ? chosenName : wires.names.front());
    comparison_.SetText(side, Field::MeasurementType,
                        byWires ? measurements.names.front() : chosenName);
    if (const auto defaults = SensorDefaults::ForPosition(position)) {
        for (Field f : PvUnitGroup()) comparison_.SetText(side, f, defaults->unit);
        comparison_.SetText(side, Field::PvUpperRange, defaults->upperText);
        comparison_.SetText(side, Field::PvLowerRange, defaults->lowerText);
    }
    return true;
}

bool ConfigRowEditor::Edit(ConfigRow row, Side side) {
    switch (row) {
        case ConfigRow::Tag:
        case ConfigRow::Descriptor:
        case ConfigRow::Message:
        case ConfigRow::Date:
            return EditText(side, LinesOf(row).front());
        case ConfigRow::DeviceId:
            return false;
        case ConfigRow::SensorType:
            return EditSensorType(side);
        case ConfigRow::PvUnit: {
            const int position =
                CglobalFile::FindByName(CglobalFile::Pair(EnumKind::SensorType).names,
                                        comparison_.Text(side, Field::SensorType));
            const EnumKind kind = CglobalFile::PvUnitChoices(position);
            if (!EditSelection(side, Field::PvUnit, "Select_PV_Unit", kind)) return false;
            const std::string unit = comparison_.Text(side, Field::PvUnit);
            for (Field f : PvUnitGroup()) comparison_.SetText(side, f, unit);
            return true;
        }
        case ConfigRow::PvRange:
        case ConfigRow::SensorRange:
            return EditRange(row, side);
        case ConfigRow::Burnout:
            return EditSelection(side, Field::Burnout, "Set_BurnOut", EnumKind::Burnout);
        case ConfigRow::Transfer:
            return EditSelection(side, Field::Transfer, "Set_Xfer", EnumKind::TransferFunction);
        case ConfigRow::TermTempUnit:
            return EditSelection(side, Field::TermTempUnit, "Select_TermTempUnit",
                                 EnumKind::TermTempUnit);
        case ConfigRow::CjcMode:
            return EditSelection(side, Field::CjcMode, "Select_CJCModeSW", EnumKind::CjcMode);
        case ConfigRow::AoAlarmMode:
            return EditSelection(side, Field::AoAlarmMode, "Set_AlarmMode", EnumKind::AoAlarmMode);
        default:
            return EditNumber(row, side, LinesOf(row).front(), false);
    }
}

}  // namespace qt40
