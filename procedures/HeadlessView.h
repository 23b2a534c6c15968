#pragma once
// What the connection logic shows, without a window: search
// steps are printed, everything else is kept for the command to act on.

#include <functional>
#include <optional>
#include <ostream>

#include "procedures/ConnectionView.h"

namespace qt40 {

class HeadlessView final : public ConnectionView {
public:
    // `currentAddress` reads the polling address a search starts from.
    HeadlessView(std::ostream& out, std::function<int()> currentAddress);

    void ShowProgress(ProgressKind kind, const std::string& textKey) override;
    void HideProgress(ProgressKind kind) override;
    void SetProgress(float percent, int address) override;
    void MarkCommFailure() override { ++commFailures_; }
    void ConnectionEstablished() override { established_ = true; }
    void ConnectionClosed() override { closed_ = true; }
    void AddressChanged(int address) override { address_ = address; }
    void PollCompleted(int result) override;

    // Called for every idle poll the connection logic passes on.
    void OnPoll(std::function<void(int result)> handler) { onPoll_ = std::move(handler); }

    bool Established() const { return established_; }
    bool Closed() const { return closed_; }
    std::optional<int> Address() const { return address_; }
    int CommFailures() const { return commFailures_; }
    float UploadPercent() const { return uploadPercent_; }
    void Reset();

private:
    std::ostream& out_;
    std::function<int()> currentAddress_;
    std::function<void(int)> onPoll_;
    bool searching_ = false;
    bool established_ = false;
    bool closed_ = false;
    std::optional<int> address_;
    int commFailures_ = 0;
    float uploadPercent_ = 0.0f;
};

}  // namespace qt40
