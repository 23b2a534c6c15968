#pragma once
// What the two comparison pages show, without a widget: the "File
// Configuration" column (with the values no page shows), the "Device
// Configuration" working copy, the colour of every value, and the rules of
// copying and comparing a row on either side. The field tables and the
// comparison rule live in ConfigFields and ConfigDifferences, "CHG" in
// ConfigRowEditor.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "base/Prompts.h"
#include "files/ConfigDifferences.h"
#include "files/ConfigFields.h"
#include "files/FileConfig.h"
#include "model/CglobalFile.h"
#include "model/DeviceRecord.h"

namespace qt40 {

enum class Side { File, Device };

enum class Highlight {
    Normal,   // button face
    Changed,  // light yellow: edited or copied
    Differs,  // pink: differs from its counterpart after "Compare"
};

class ConfigComparison {
public:
    ConfigComparison();

    const std::string& Text(Side side, Field field) const;
    Highlight Colour(Side side, Field field) const;
    void SetText(Side side, Field field, const std::string& text);  // as an edit: yellow

    // The whole file side (the file column and the values no page shows).
    FileConfig FileValues() const;
    // The device column as a configuration (hidden values empty).
    FileConfig DeviceValues() const;

    // After a file was read: the file column shows it, colours reset.
    void LoadFile(const FileConfig& values);
    // After an upload: the device column shows the record, colours reset.
    void LoadDevice(const DeviceRecord& record);
    // Only these fields from the record, colours of them reset.
    void LoadDevice(const DeviceRecord& record, const std::vector<Field>& fields);
    void Mark(Side side, const std::vector<Field>& fields, Highlight colour);

    // "<" (to the file) and ">" (to the device). The device identification
    // only goes to the file.
    void CopyRow(ConfigRow row, Side to);
    // "All Copy <<" also fills the values no page shows from `record`.
    void CopyAllToFile(const DeviceRecord& record);
    void CopyAllToDevice();
    // "Compare" over `side`: pink where the two texts differ, else normal.
    // Returns how many values differ.
    int Compare(Side side);

    // "CHG" (ConfigRowEditor): asks through `prompts` with the row's entry
    // and limits; true when a value changed (coloured yellow).
    bool Edit(ConfigRow row, Side side, Prompts& prompts);

    // The number entry of a row ("CHG" of a single number), for tests and the
    // range rows' first end; ConfigRowEditor::EntryOf.
    static NumberEntry EntryOf(ConfigRow row, bool lowerEnd = false);

private:
    std::string& Ref(Side side, Field field);
    void Copy(Field field, Side to);

    std::array<std::array<std::string, kFieldCount>, 2> texts_;
    std::array<std::array<Highlight, kFieldCount>, 2> colours_{};
    FileConfig fileSide_;  // the values no page shows
};

}  // namespace qt40
