#include "tests/support/RecordingView.h"

namespace qt40::test {

void RecordingView::ShowProgress(ProgressKind kind, const std::string& key) {
    events.push_back("show " + std::to_string(static_cast<int>(kind)) + " " + key);
    shown.push_back(key);
    if (kind == ProgressKind::Search && currentAddress)
        searchedAddresses.push_back(currentAddress());
}

void RecordingView::HideProgress(ProgressKind kind) {
    events.push_back("hide " + std::to_string(static_cast<int>(kind)));
    ++hidden;
}

void RecordingView::SetProgress(float percent, int address) {
    progress.push_back(percent);
    lastPercent = percent;
    if (address >= 0) {
        searchedAddresses.push_back(address);
    } else {
        uploadPercent.push_back(percent);
    }
}

void RecordingView::ConnectionClosed() {
    ++closed;
    established = false;
}

}  // namespace qt40::test
