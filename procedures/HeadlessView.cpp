#include "procedures/HeadlessView.h"

namespace qt40 {

HeadlessView::HeadlessView(std::ostream& out, std::function<int()> currentAddress)
    : out_(out), currentAddress_(std::move(currentAddress)) {}

void HeadlessView::ShowProgress(ProgressKind kind, const std::string&) {
    if (kind == ProgressKind::Search) {
        searching_ = true;
        out_ << "trying address " << currentAddress_() << '\n' << std::flush;
    } else {
        uploadPercent_ = 0.0f;
    }
}

void HeadlessView::HideProgress(ProgressKind kind) {
    if (kind == ProgressKind::Search) searching_ = false;
}

void HeadlessView::SetProgress(float percent, int address) {
    if (searching_ && address >= 0) {
        out_ << "trying address " << address << '\n' << std::flush;
    } else if (!searching_) {
        uploadPercent_ = percent;
    }
}

void HeadlessView::PollCompleted(int result) {
    if (onPoll_) onPoll_(result);
}

void HeadlessView::Reset() {
    searching_ = false;
    established_ = false;
    closed_ = false;
    address_.reset();
    commFailures_ = 0;
    uploadPercent_ = 0.0f;
}

}  // namespace qt40
