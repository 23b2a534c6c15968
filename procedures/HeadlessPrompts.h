#pragma once
// The answers to the questions the connection logic asks when nobody sits
// at a window (the command-line tool, the fleet runner): a failed line is given up ("Err_COM" is
// cancelled once the automatic retries are spent), and a search is answered
// so that it reports the first device it finds.

#include <optional>
#include <string>
#include <vector>

#include "base/Prompts.h"

namespace qt40 {

// What nobody at a window answers to a box: OK to a notice, No to a question,
// Cancel to anything that can be declined ("Err_COM" among them).
Answer DeclinedAnswer(BoxType type);

class HeadlessPrompts final : public Prompts {
public:
    // How often "Err_Not_Device" (nothing up to address 15) starts the search
    // again at address 0 before giving up.
    void SetSearchRestarts(int restarts) { searchRestarts_ = restarts; }

    Answer Message(const std::string& key, const MessageArgs& args, BoxType type) override;
    std::optional<NumberResult> EnterNumber(const NumberEntry&) override { return std::nullopt; }
    std::optional<std::string> EnterText(const TextEntry&) override { return std::nullopt; }
    std::optional<SelectionResult> Select(const Selection&) override { return std::nullopt; }
    std::optional<std::string> OpenFileName(const FileRequest&) override { return std::nullopt; }
    std::optional<std::string> SaveFileName(const FileRequest&) override { return std::nullopt; }

    bool Asked(const std::string& key) const;
    const std::vector<std::string>& Keys() const { return keys_; }
    // The address a search offered with "Confr_Search_Address".
    std::optional<int> FoundAddress() const { return found_; }
    void Reset();

private:
    std::vector<std::string> keys_;
    std::optional<int> found_;
    int searchRestarts_ = 0;
};

}  // namespace qt40
