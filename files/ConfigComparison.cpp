#include "files/ConfigComparison.h"

#include <cstddef>

#include "files/ConfigRowEditor.h"
#include "files/FileConfigFromDevice.h"

namespace qt40 {
namespace {

constexpr int Index(Field f) {
    return static_cast<int>(f);
}
constexpr int Index(Side s) {
    return s == Side::File ? 0 : 1;
}

Side Other(Side side) {
    return side == Side::File ? Side::Device : Side::File;
}

}  // namespace

ConfigComparison::ConfigComparison() {
    for (auto& side : colours_) side.fill(Highlight::Normal);
}

std::string& ConfigComparison::Ref(Side side, Field field) {
    return texts_[static_cast<std::size_t>(Index(side))][static_cast<std::size_t>(Index(field))];
}

const std::string& ConfigComparison::Text(Side side, Field field) const {
    return texts_[static_cast<std::size_t>(Index(side))][static_cast<std::size_t>(Index(field))];
}

Highlight ConfigComparison::Colour(Side side, Field field) const {
    return colours_[static_cast<std::size_t>(Index(side))][static_cast<std::size_t>(Index(field))];
}

void ConfigComparison::Mark(Side side, const std::vector<Field>& fields, Highlight colour) {
    for (Field f : fields) {
        colours_[static_cast<std::size_t>(Index(side))][static_cast<std::size_t>(Index(f))] =
            colour;
    }
}

void ConfigComparison::SetText(Side side, Field field, const std::string& text) {
    Ref(side, field) = text;
    Mark(side, {field}, Highlight::Changed);
}

FileConfig ConfigComparison::FileValues() const {
    FileConfig config = fileSide_;
    for (int i = 0; i < kFieldCount; ++i) {
        if (auto member = FieldMember(static_cast<Field>(i))) {
            config.*member = Text(Side::File, static_cast<Field>(i));
        }
    }
    return config;
}

FileConfig ConfigComparison::DeviceValues() const {
    FileConfig config;
    for (int i = 0; i < kFieldCount; ++i) {
        if (auto member = FieldMember(static_cast<Field>(i))) {
            config.*member = Text(Side::Device, static_cast<Field>(i));
        }
    }
    return config;
}

void ConfigComparison::LoadFile(const FileConfig& values) {
    fileSide_ = values;
    for (int i = 0; i < kFieldCount; ++i) {
        const auto f = static_cast<Field>(i);
        if (auto member = FieldMember(static_cast<Field>(i))) {
            Ref(Side::File, f) = values.*member;
        } else {
            Ref(Side::File, f) = values.pvUnit;
        }
    }
    colours_[0].fill(Highlight::Normal);
}

void ConfigComparison::LoadDevice(const DeviceRecord& record) {
    std::vector<Field> all;
    for (int i = 0; i < kFieldCount; ++i) all.push_back(static_cast<Field>(i));
    LoadDevice(record, all);
}

void ConfigComparison::LoadDevice(const DeviceRecord& record, const std::vector<Field>& fields) {
    const FileConfig values = FileConfigFromDevice(record);
    for (Field f : fields) {
        if (auto member = FieldMember(f)) {
            Ref(Side::Device, f) = values.*member;
        } else {
            Ref(Side::Device, f) = values.pvUnit;
        }
    }
    Mark(Side::Device, fields, Highlight::Normal);
}

void ConfigComparison::Copy(Field field, Side to) {
    const std::string& source = Text(Other(to), field);
    if (source == Text(to, field)) return;
    SetText(to, field, source);
}

void ConfigComparison::CopyRow(ConfigRow row, Side to) {
    if (row == ConfigRow::DeviceId && to == Side::Device) return;
    for (Field f : CopyGroup(row)) Copy(f, to);
}

void ConfigComparison::CopyAllToFile(const DeviceRecord& record) {
    for (int r = 0; r < kRowCount; ++r) CopyRow(static_cast<ConfigRow>(r), Side::File);
    const FileConfig hidden = FileConfigFromDevice(record);
    for (const StoredValue& v : HiddenValues()) fileSide_.*v.value = hidden.*v.value;
}

void ConfigComparison::CopyAllToDevice() {
    for (int r = 0; r < kRowCount; ++r) CopyRow(static_cast<ConfigRow>(r), Side::Device);
}

int ConfigComparison::Compare(Side side) {
    int differing = 0;
    for (int i = 0; i < kFieldCount; ++i) {
        const auto f = static_cast<Field>(i);
        if (!IsValueField(f)) continue;
        const bool differs = !SameFieldText(f, Text(Side::File, f), Text(Side::Device, f));
        differing += differs ? 1 : 0;
        Mark(side, {f}, differs ? Highlight::Differs : Highlight::Normal);
    }
    return differing;
}

NumberEntry ConfigComparison::EntryOf(ConfigRow row, bool lowerEnd) {
    return ConfigRowEditor::EntryOf(row, lowerEnd);
}

bool ConfigComparison::Edit(ConfigRow row, Side side, Prompts& prompts) {
    return ConfigRowEditor(*this, prompts).Edit(row, side);
}

}  // namespace qt40
