#pragma once
// What the connection logic shows; the window program draws it, the
// command-line tool prints it, tests record it.

#include <string>

namespace qt40 {

enum class ProgressKind { Upload = 0, Search = 1 };

class ConnectionView {
public:
    virtual ~ConnectionView() = default;
    // A progress window with the language text of `textKey`, bar at 0.
    virtual void ShowProgress(ProgressKind kind, const std::string& textKey) = 0;
    virtual void HideProgress(ProgressKind kind) = 0;
    // `address` is the polling address being tried while searching, else -1.
    virtual void SetProgress(float percent, int address) = 0;
    // The status bar's communication failure mark.
    virtual void MarkCommFailure() = 0;
    // Identified, uploaded and polling.
    virtual void ConnectionEstablished() = 0;
    // The connection was given up or stopped.
    virtual void ConnectionClosed() = 0;
    // A search or a polling-address write settled on this address; keep it.
    virtual void AddressChanged(int address) = 0;
    // An idle poll finished with this result.
    virtual void PollCompleted(int result) = 0;
    // Forget the value the trend graph follows.
    virtual void ClearTrendSelections() {}
};

}  // namespace qt40
