#pragma once
// A connection view for tests: everything the connection logic shows, kept.

#include <functional>
#include <string>
#include <vector>

#include "procedures/ConnectionView.h"

namespace qt40::test {

class RecordingView final : public ConnectionView {
public:
    void ShowProgress(ProgressKind kind, const std::string& key) override;
    void HideProgress(ProgressKind kind) override;
    void SetProgress(float percent, int address) override;
    void MarkCommFailure() override { ++failures; }
    void ConnectionEstablished() override { established = true; }
    // Closing ends what `established` says; `closed` counts the closings.
    void ConnectionClosed() override;
    void AddressChanged(int address) override { addresses.push_back(address); }
    void PollCompleted(int result) override { polls.push_back(result); }

    // When set, a search's progress window notes the address it starts from
    // among the searched ones.
    std::function<int()> currentAddress;

    // "show KIND KEY" and "hide KIND", in order.
    std::vector<std::string> events;
    std::vector<std::string> shown;  // the text keys of the progress windows shown
    int hidden = 0;
    std::vector<float> progress;
    std::vector<float> uploadPercent;  // the progress outside a search
    float lastPercent = 0.0f;
    std::vector<int> searchedAddresses;
    std::vector<int> addresses;
    std::vector<int> polls;
    int failures = 0;
    int closed = 0;
    bool established = false;
};

}  // namespace qt40::test
