#pragma once
// Every modal question the program asks: message boxes, value entries,
// selections and file dialogs. Panels and file readers ask through this
// interface only; the window program answers with real dialogs (and pauses the
// worker around each), tests answer from a script. No Qt here.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace qt40 {

// Message box types in use: buttons, icon and modality in one value.
enum class BoxType : std::uint32_t {
    OkWarning = 0x30,
    YesNoQuestion = 0x24,
    OkCancelWarning = 0x31,
    OkInformation = 0x40,
    RetryCancelWarning = 0x35,
    RetryCancelInfoSystemModal = 0x41045,
    YesNoCancelInfoSystemModal = 0x41043,
    OkWarningSystemModal = 0x1030,
    OkCancelWarningSystemModal = 0x1031,
};

enum class Answer { Ok, Cancel, Yes, No, Retry };

// An argument of a language text: printf-style texts need the type.
using MessageArg = std::variant<long long, double, std::string>;
using MessageArgs = std::vector<MessageArg>;

struct NumberEntry {
    std::string titleKey;
    std::string promptKey;
    MessageArgs promptArgs;
    std::string initialText;  // empty or a single blank shows "0"
    double minimum = 0.0;
    double maximum = 0.0;
    bool rangeMessage = true;  // errors as "Err_Range_Input", else "Err_Calibration_Value_Invalid"
    bool zeroAllowed = false;
    // Set when the caller stages the result in a WriteBuffer number field
    // (with `stagingSuffix` appended): a value whose staged text would not
    // fit is refused in the dialog rather than cut on the way to the device.
    enum class Staging { None, EnteredText, FormattedText };
    Staging staging = Staging::None;
    std::string stagingSuffix;
};

struct NumberResult {
    std::string enteredText;    // as typed, at most 17 characters
    std::string formattedText;  // the accepted value with "%.3lf"
    double value = 0.0;
};

enum class TextMode { Text, Date, None };

struct TextEntry {
    std::string titleKey;
    std::string promptKey;
    MessageArgs promptArgs;
    std::string initialText;
    TextMode mode = TextMode::Text;
    int lengthLimit = 0;  // text mode only
    // Text mode for a tag, descriptor or message: the device stores packed
    // ASCII, so only the characters it can hold are taken (lower case is
    // raised to upper case on the way).
    bool packed = false;
};

struct Selection {
    std::string titleKey;
    std::vector<std::string> names;
    std::vector<std::string> codes;  // decimal texts, parallel to names
    std::optional<int> preselectCode;
    std::optional<std::string> preselectName;
};

struct SelectionResult {
    int position = 0;
    std::int16_t code = 0;
};

struct FileRequest {
    std::string titleKey;
    std::string filter;         // e.g. "Configuration Files (*.cfg)"
    std::string defaultSuffix;  // without the dot
    std::string initialPath;
};

class Prompts {
public:
    virtual ~Prompts() = default;

    // Shows the language text of `key` formatted with `args`, captioned "Message_Box".
    virtual Answer Message(const std::string& key, const MessageArgs& args, BoxType type) = 0;
    // The same with a caption of its own instead of "Message_Box" (the closing
    // question carries the program's name and version).
    virtual Answer MessageWithCaption(const std::string& key, const MessageArgs& args,
                                      BoxType type, const std::string& /*caption*/) {
        return Message(key, args, type);
    }
    // Nothing on Cancel.
    virtual std::optional<NumberResult> EnterNumber(const NumberEntry& entry) = 0;
    virtual std::optional<std::string> EnterText(const TextEntry& entry) = 0;
    virtual std::optional<SelectionResult> Select(const Selection& selection) = 0;
    virtual std::optional<std::string> OpenFileName(const FileRequest& request) = 0;
    virtual std::optional<std::string> SaveFileName(const FileRequest& request) = 0;
};

}  // namespace qt40
